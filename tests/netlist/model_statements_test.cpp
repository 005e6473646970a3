#include "netlist/model_statements.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <string>

#include "document/text_area.h"
#include "ui/window_record.h"
#include "core/expr_symbols.h"
#include "document/component_attributes.h"
#include "document/schematic_item.h"
#include "document/component_types.h"
#include "document/component_definition.h"
#include "core/message_reporter.h"
#include "model_test_support.h"
#include "document/circuit_document.h"
#include "document/document_windows.h"
#include "platform/window.h"
#include "document/pane_seams.h"

namespace kq5::testing {
namespace {

class ModelStatements : public ModelTest {
protected:
    // The evaluated model of a fresh statement; null after a failure.
    EvaluatedModel* Evaluate(const std::string& text, bool textMode = false)
    {
        const int index = Parse(text);
        return index < 0 ? nullptr : FindModelEx(kModelSelectStatement, index, textMode, false);
    }
    static float P(const EvaluatedModel* model, const char* name)
    {
        return model->Param(FindModelParamIndex(model->row, name));
    }
};

TEST_F(ModelStatements, ParsesNameTypeAndParameterText)
{
    const int index = Parse(".MODEL Q1 NPN (BF=100, VA=50, IS={1E-15*2})");
    ASSERT_EQ(index, 0);
    const ModelStatement& s = *FindModelStatement(index);
    EXPECT_EQ(s.name, "Q1");
    EXPECT_EQ(s.type, kModelNpn);
    EXPECT_EQ(s.row, kModelNpn);
    EXPECT_EQ(s.sourceKind, kModelSourceTextWindow);
    EXPECT_EQ(s.sourceName, "test.cir");
    EXPECT_EQ(s.akoIndex, -1);
    EXPECT_EQ(s.paramText, "BF=100  VA=50  IS={1E-15*2}");

    EvaluatedModel* model = FindModel(kModelSelectStatement, index);
    ASSERT_NE(model, nullptr);
    EXPECT_FLOAT_EQ(P(model, "BF"), 100.0f);
    EXPECT_FLOAT_EQ(P(model, "VAF"), 50.0f);
    EXPECT_FLOAT_EQ(P(model, "IS"), 2e-15f);
    EXPECT_FLOAT_EQ(P(model, "NF"), 1.0f);  // default kept
    EXPECT_EQ(model->name, "Q1");
    EXPECT_EQ(model->kind, kKindModelBase + static_cast<int>(kModelNpn));
    EXPECT_EQ(model->params.size(), 67u);
    EXPECT_EQ(FindModelStatement(index)->given[0], 1);
    EXPECT_EQ(FindModelStatement(index)->given[2], 0);

    // Without parentheses, in lower case and across lines, the statement reads the same.
    EvaluatedModel* plain = Evaluate(".model q2 npn bf=100\r\n  va=50");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->name, "Q2");
    EXPECT_FLOAT_EQ(P(plain, "VAF"), 50.0f);
    EXPECT_TRUE(ShownIds().empty());

    // Other texts are not statements.
    EXPECT_EQ(ParseModelStatement(".MODELX Q3 NPN", 0, 0, kModelSourceTextWindow, "x"), 0);
    EXPECT_EQ(ParseModelStatement("* .MODEL Q3 NPN", 0, 0, kModelSourceTextWindow, "x"), 0);
    EXPECT_EQ(ModelStatementCount(), 2);
}

TEST_F(ModelStatements, StatementErrorsLeaveTheTableAsItWas)
{
    ASSERT_EQ(Parse(".MODEL D1 D (IS=1N)"), 0);
    struct Case {
        const char* text;
        int id;
    };
    ASSERT_TRUE(IsReservedExpressionName("TIME", false));
    for (const Case& c : {Case{".MODEL", 11859}, Case{".MODEL D2", 11859}, Case{".MODEL TIME D", 10880},
                          Case{".MODEL D2 DIODE (IS=1N)", 11855}, Case{".MODEL D2 D (IS=1N ; comment)", 11900},
                          Case{".MODEL D2 D (IS=1N ; no close", 11900}, Case{".MODEL D1 D (IS=2N)", 10896}}) {
        win::ClearMessageBoxLog();
        ClearCircuitBuildError();
        EXPECT_EQ(ParseModelStatement(c.text, 0, 4, kModelSourceTextWindow, "bad.cir"), kMsgAlreadyReported)
            << c.text;
        EXPECT_EQ(LastShownId(), c.id) << c.text;
        EXPECT_TRUE(CircuitBuildFailed());
        EXPECT_EQ(ModelStatementCount(), 1) << c.text;
    }
    // The same name in another scope or of another type is a model of its own.
    EXPECT_EQ(Parse(".MODEL D1 NPN"), 1);
    EXPECT_EQ(Parse(".MODEL D1 D (IS=3N) ; a comment", 0), -1);
    ResizeScopeTable(1);
    EXPECT_EQ(Parse(".MODEL D1 D (IS=3N) ; a comment", 1), 2);
    EXPECT_EQ(FindModelStatement(2)->paramText, "IS=3N");
}

TEST_F(ModelStatements, AkoCopiesTheBaseButNotItsTemperature)
{
    ASSERT_EQ(Parse(".MODEL Q1 NPN (BF=50 IS=1E-15 T_ABS=40 VAF=80)"), 0);
    EvaluatedModel* q2 = Evaluate(".MODEL Q2 AKO: Q1 NPN (BF=200)");
    ASSERT_NE(q2, nullptr);
    EXPECT_FLOAT_EQ(P(q2, "BF"), 200.0f);
    EXPECT_FLOAT_EQ(P(q2, "IS"), 1e-15f);
    EXPECT_FLOAT_EQ(P(q2, "VAF"), 80.0f);
    EXPECT_TRUE(IsParamNotGiven(P(q2, "T_ABS")));
    const ModelStatement& s = *FindModelStatement(1);
    EXPECT_EQ(s.akoName, "Q1");
    EXPECT_EQ(s.akoIndex, 0);
    ASSERT_NE(s.akoModel, nullptr);
    EXPECT_FLOAT_EQ(P(s.akoModel, "T_ABS"), 40.0f);

    // A base in a library or unknown, and bases that name each other.
    EXPECT_EQ(Evaluate(".MODEL Q3 AKO:QX NPN (BF=1)"), nullptr);
    EXPECT_EQ(LastShownId(), 11858);
    ASSERT_GE(Parse(".MODEL QA AKO:QB NPN"), 0);
    ASSERT_GE(Parse(".MODEL QB AKO:QA NPN"), 0);
    EXPECT_EQ(FindModel(kModelSelectStatement, FindModelInScope(kModelNpn, 0, "QA")), nullptr);
    EXPECT_EQ(LastShownId(), 11857);
    // A failed evaluation leaves no half-made model behind.
    for (const EvaluatedModel& model : ListRecords<EvaluatedModel>(Models().evaluated[kModelNpn]))
        EXPECT_NE(model.name, "QA");

    // "AKO" without its colon names no base: the word is read as the type.
    EXPECT_EQ(Parse(".MODEL Q4 AKO NPN"), -1);
    EXPECT_EQ(LastShownId(), 11855);
}

TEST_F(ModelStatements, LotAndDevTolerances)
{
    EvaluatedModel* model = Evaluate(".MODEL R1 RES (R=2 DEV=5% LOT/3/UNIFORM=0.1 TC1=1m DEV/GAUSS=10%)");
    ASSERT_NE(model, nullptr);
    ASSERT_TRUE(model->tolerances);
    const ModelTolerances& t = *model->tolerances;
    const std::size_t r = 0, tc1 = 1;
    EXPECT_FLOAT_EQ(t.dev[r], 0.1f);  // 5% of 2
    EXPECT_EQ(t.devNumber[r], kNoToleranceNumber);
    EXPECT_FLOAT_EQ(t.lot[r], 0.1f);
    EXPECT_EQ(t.lotNumber[r], 3);
    EXPECT_EQ(t.lotDistribution[r], kDistributionUniform);
    EXPECT_FLOAT_EQ(t.dev[tc1], 1e-4f);
    EXPECT_EQ(t.devDistribution[tc1], kDistributionGauss);
    EXPECT_FLOAT_EQ(t.lot[2], kNoTolerance);

    for (auto [text, id] : {std::pair{".MODEL R2 RES (R=1 LOT/12=1)", 11863}, std::pair{".MODEL R3 RES (LOT=1 R=1)", 11852},
                            std::pair{".MODEL R4 RES (R=1 DEV/3X=1)", 11903}, std::pair{".MODEL R5 RES (R=1 DEV=X%)", 11861}}) {
        EXPECT_EQ(Evaluate(text), nullptr) << text;
        EXPECT_EQ(LastShownId(), id) << text;
    }
    // A tolerance after an unknown parameter goes with it.
    EXPECT_NE(Evaluate(".MODEL R6 RES (R=1 RQ=3 DEV=1)"), nullptr);
}

TEST_F(ModelStatements, UnknownAndRepeatedParametersBecomeDeferredWarnings)
{
    EvaluatedModel* model = Evaluate(".MODEL D1 D (IS=1N FOO=3 IS=2N)");
    ASSERT_NE(model, nullptr);
    EXPECT_FLOAT_EQ(P(model, "IS"), 2e-9f);
    const std::vector<DeferredWarning>& warnings = Models().deferredWarnings;
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(warnings[0].name, "FOO");
    EXPECT_EQ(warnings[0].kind, kWarnUnknownModelParam);
    EXPECT_EQ(warnings[0].subject, 0);
    EXPECT_EQ(warnings[1].name, "IS");
    EXPECT_EQ(warnings[1].kind, kWarnRepeatedModelParam);
    EXPECT_TRUE(ShownIds().empty());

    for (auto [text, id] : {std::pair{".MODEL D2 D (IS=)", 11901}, std::pair{".MODEL D3 D (IS 1N)", 11900},
                            std::pair{".MODEL D4 D (=1N)", 11900}, std::pair{".MODEL D5 D (IS=1N*Q)", 11900},
                            std::pair{".MODEL D6 D (IS=ABC)", 11861}}) {
        EXPECT_EQ(Evaluate(text), nullptr) << text;
        EXPECT_EQ(LastShownId(), id) << text;
    }
}

TEST_F(ModelStatements, ValuesByKind)
{
    EvaluatedModel* npn = Evaluate(".MODEL Q1 NPN (BF=1E50 IS=-1E-50 VAF=0 IKF=2MEG NF=1.5V)");
    ASSERT_NE(npn, nullptr);
    EXPECT_FLOAT_EQ(P(npn, "BF"), FLT_MAX);
    EXPECT_FLOAT_EQ(P(npn, "IS"), -FLT_MIN);
    EXPECT_EQ(P(npn, "VAF"), 0.0f);
    EXPECT_FLOAT_EQ(P(npn, "IKF"), 2e6f);
    EXPECT_FLOAT_EQ(P(npn, "NF"), 1.5f);

    EvaluatedModel* out = Evaluate(".MODEL O1 DOUTPUT (S1NAME=x S2NAME=\"r\")");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(CharacterOfSlot(P(out, "S1NAME")), 'X');
    EXPECT_EQ(CharacterOfSlot(P(out, "S2NAME")), 'R');
    EXPECT_EQ(CharacterOfSlot(P(out, "S0NAME")), '0');

    const std::string longName = "A_SUBCIRCUIT_NAME_LONGER_THAN_THIRTY_TWO_CHARACTERS";
    EvaluatedModel* io = Evaluate(".MODEL IO1 UIO (DRVH=96 ATOD1=\"" + longName + "\")");
    ASSERT_NE(io, nullptr);
    EXPECT_EQ((*io->textParams)[4], longName);
    EXPECT_EQ((*io->textParams)[6], "AtoDDefault");
    EXPECT_EQ((*io->textParams)[20], "DIGIFPWR");

    // Digital timing parameters that are not given read -1, except in text mode.
    EvaluatedModel* gate = Evaluate(".MODEL G1 UGATE (TPLHTY=5N)");
    ASSERT_NE(gate, nullptr);
    EXPECT_FLOAT_EQ(P(gate, "TPLHTY"), 5e-9f);
    EXPECT_FLOAT_EQ(P(gate, "TPLHMN"), -1.0f);
    ASSERT_FALSE(gate->paramTexts.size());
    EvaluatedModel* text = FindModelEx(kModelSelectStatement, FindModelInScope(kModelUgate, 0, "G1"), true, false);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->paramTexts[1], "5N");
    EXPECT_EQ(text->paramTexts[0], "0");
    EXPECT_EQ(FindModel(kModelSelectStatement, FindModelInScope(kModelUgate, 0, "G1")), gate);
    EXPECT_EQ(P(text, "TPLHMN"), 0.0f);
}

TEST_F(ModelStatements, MosStatementsTakeTheirRowFromLevel)
{
    EvaluatedModel* m4 = Evaluate(".MODEL M1 NMOS (LEVEL=4 TOX=0.02 MUZ=600)");
    ASSERT_NE(m4, nullptr);
    EXPECT_EQ(FindModelStatement(0)->type, kModelNmos);
    EXPECT_EQ(FindModelStatement(0)->row, kModelNmos4);
    EXPECT_EQ(m4->row, kModelNmos4);
    EXPECT_EQ(m4->kind, kKindModelBase + static_cast<int>(kModelNmos4));
    EXPECT_FLOAT_EQ(P(m4, "MUZ"), 600.0f);
    EXPECT_FLOAT_EQ(P(m4, "L"), 5e-6f);
    // The statement is found by its NMOS type; a LEVEL 8 PMOS by PMOS.
    EXPECT_EQ(FindModelInScope(kModelNmos, 0, "M1"), 0);
    EXPECT_EQ(FindModelInScope(kModelNmos4, 0, "M1"), 0);
    ASSERT_EQ(Parse(".MODEL M2 PMOS LEVEL=8"), 1);
    EXPECT_EQ(FindModelStatement(1)->row, kModelPmos8);
    EXPECT_EQ(FindModelInScope(kModelPmos, 0, "M2"), 1);
    EXPECT_EQ(FindModelInScope(kModelNmos, 0, "M2"), -1);

    // LEVEL=6 stays on the LEVEL 1 to 3 row and fails its check only when an analysis is set up.
    EXPECT_NE(Evaluate(".MODEL M3 NMOS (LEVEL=6)"), nullptr);
    EXPECT_EQ(FindModelStatement(2)->row, kModelNmos);
    Analysis().analysisKind = kAnalysisTransient;
    EXPECT_EQ(Evaluate(".MODEL M4 NMOS (LEVEL=6)"), nullptr);
    EXPECT_EQ(LastShownId(), 14077);
}

TEST_F(ModelStatements, ChecksWhileAnAnalysisIsSetUp)
{
    EXPECT_NE(Evaluate(".MODEL D1 D (T_ABS=50 T_REL_GLOBAL=10)"), nullptr);
    Analysis().analysisKind = kAnalysisTransient;
    EXPECT_EQ(Evaluate(".MODEL D0 D (T_ABS=50 T_REL_GLOBAL=10)"), nullptr);
    EXPECT_EQ(LastShownId(), 11854);
    EXPECT_NE(Evaluate(".MODEL D9 D (T_ABS=50)"), nullptr);

    EXPECT_EQ(Evaluate(".MODEL P1 PUL (P1=1U P2=0.5U)"), nullptr);
    EXPECT_EQ(LastShownId(), 11851);
    // With P2 negative only P1 <= P3 <= P5 is asked for.
    EXPECT_NE(Evaluate(".MODEL P2 PUL (P1=1U P2=-1 P3=2U P4=0 P5=3U)"), nullptr);
    EXPECT_EQ(Evaluate(".MODEL P3 PUL (P1=1U P2=-1 P3=0.5U P5=3U)"), nullptr);
    EXPECT_EQ(Evaluate(".MODEL G1 GASFET (VMAX=2 VBI=1)"), nullptr);
    EXPECT_EQ(LastShownId(), 11856);
    EXPECT_NE(Evaluate(".MODEL G2 GASFET (VMAX=0.5 VBI=1)"), nullptr);
    EXPECT_EQ(Evaluate(".MODEL D2 D (IS=-1)"), nullptr);
    EXPECT_EQ(LastShownId(), 14071);
    // A switch of no resistance would divide by zero in the run: refused at the model.
    EXPECT_EQ(Evaluate(".MODEL S1 VSWITCH (RON=0)"), nullptr);
    EXPECT_EQ(LastShownId(), 14071);
    EXPECT_EQ(Evaluate(".MODEL W1 ISWITCH (ROFF=-1K)"), nullptr);
    EXPECT_EQ(LastShownId(), 14071);
    EXPECT_NE(Evaluate(".MODEL S2 VSWITCH (RON=1M ROFF=1G VON=2 VOFF=2)"), nullptr);

    // BSIM3 values that leave the model without meaning are refused at the model, not met as a
    // failure to converge; a binned value with length or width terms is the instance's to judge.
    EXPECT_EQ(Evaluate(".MODEL B1 NMOS (LEVEL=8 TOX=0)"), nullptr);
    EXPECT_EQ(LastShownId(), 14071);
    EXPECT_EQ(Evaluate(".MODEL B2 PMOS (LEVEL=8 XJ=-1u)"), nullptr);
    EXPECT_EQ(LastShownId(), 14071);
    EXPECT_EQ(Evaluate(".MODEL B3 NMOS (LEVEL=8 DELTA=-0.01)"), nullptr);
    EXPECT_EQ(LastShownId(), 14072);
    EXPECT_NE(Evaluate(".MODEL B4 NMOS (LEVEL=8 TOX=9n NCH=2.2E17 DVT1=0)"), nullptr);
    EXPECT_NE(Evaluate(".MODEL B5 NMOS (LEVEL=8 NCH=-1E17 LNCH=1E17)"), nullptr);
}

TEST_F(ModelStatements, LookupThroughScopes)
{
    ASSERT_EQ(ResizeScopeTable(3), 0);
    FindScopeForEdit(1)->parent = 0;
    FindScopeForEdit(2)->parent = 1;
    FindScopeForEdit(3)->parent = 2;
    ASSERT_EQ(Parse(".MODEL DX D (IS=1N)", 0), 0);
    ASSERT_EQ(Parse(".MODEL DX D (IS=2N)", 2), 1);
    EXPECT_EQ(FindModelInScope(kModelDiode, 0, "DX"), 0);
    EXPECT_EQ(FindModelInScope(kModelDiode, 1, "DX"), 0);
    EXPECT_EQ(FindModelInScope(kModelDiode, 2, "DX"), 1);
    EXPECT_EQ(FindModelInScope(kModelDiode, 3, "DX"), 1);
    EXPECT_EQ(FindModelInScope(kModelDiode, 3, "DY"), -1);
    EXPECT_EQ(FindModelInScope(kModelNpn, 3, "DX"), -1);
    // A damaged parent chain ends instead of looping.
    FindScopeForEdit(1)->parent = 3;
    EXPECT_EQ(FindModelInScope(kModelDiode, 1, "DY"), -1);

    // An LPNP name found nowhere is looked up as a PNP.
    ASSERT_EQ(Parse(".MODEL QL PNP (BF=30)"), 2);
    EXPECT_EQ(FindOrLoadModel(kModelLpnp, 0, "QL"), 2);
    EXPECT_EQ(FindOrLoadModel(kModelNpn, 0, "QL"), -1);
    // And a lateral card serves a three-pin PNP ("Missing model statement" before).
    ASSERT_EQ(Parse(".MODEL QV LPNP (BF=30)"), 3);
    EXPECT_EQ(FindOrLoadModel(kModelPnp, 0, "QV"), 3);
    EXPECT_EQ(FindOrLoadModel(kModelNpn, 0, "QV"), -1);
    EXPECT_EQ(FindOrLoadModel(kModelDiode, 0, ""), -1);
}

TEST_F(ModelStatements, PrivateCopiesFollowTheOptions)
{
    ASSERT_EQ(Parse(".MODEL D1 D (IS=1N)"), 0);
    GlobalOptions().values.privateanalog = 0;
    EvaluatedModel* first = FindModel(kModelSelectStatement, 0);
    EXPECT_EQ(FindModel(kModelSelectStatement, 0), first);

    GlobalOptions().values.privateanalog = 1;
    EvaluatedModel* copy = FindModel(kModelSelectStatement, 0);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, first);
    EXPECT_EQ(copy->firstModel, first);
    EXPECT_EQ(copy->givenValues, first->givenValues);
    EXPECT_EQ(copy->tolerances, first->tolerances);
    EXPECT_FLOAT_EQ(P(copy, "IS"), 1e-9f);

    // A model with DEV tolerances is never shared.
    GlobalOptions().values.privateanalog = 0;
    ASSERT_EQ(Parse(".MODEL D2 D (IS=1N DEV=1%)"), 1);
    EvaluatedModel* a = FindModel(kModelSelectStatement, 1);
    EXPECT_NE(FindModel(kModelSelectStatement, 1), a);

    // Digital models are shared unless PRIVATEDIGITAL is set; TRN models never are.
    ASSERT_EQ(Parse(".MODEL G1 UGATE (TPLHTY=1N)"), 2);
    EvaluatedModel* g = FindModel(kModelSelectStatement, 2);
    EXPECT_EQ(FindModel(kModelSelectStatement, 2), g);
    GlobalOptions().values.privatedigital = 1;
    EXPECT_NE(FindModel(kModelSelectStatement, 2), g);
    ASSERT_EQ(Parse(".MODEL T1 TRN (ZO=50 TD=1N)"), 3);
    EXPECT_NE(FindModel(kModelSelectStatement, 3), FindModel(kModelSelectStatement, 3));

    // Default models of a type, and selectors without a statement.
    EvaluatedModel* trn = FindModelEx(kModelTrn, -1, false, true);
    ASSERT_NE(trn, nullptr);
    EXPECT_EQ(trn->statementIndex, -1);
    EXPECT_FLOAT_EQ(P(trn, "NL"), 0.25f);
    EXPECT_EQ(FindModel(kModelSelectStatement, -1), nullptr);
    EXPECT_EQ(FindModel(kModelSelectStatement, 99), nullptr);
}

TEST_F(ModelStatements, FindingAModelAgainKeepsItsGivenValues)
{
    ASSERT_EQ(Parse(".MODEL Q1 NPN (BF=100)"), 0);
    GlobalOptions().values.privateanalog = 0;  // one shared model
    EvaluatedModel* model = FindModel(kModelSelectStatement, 0);
    ASSERT_NE(model, nullptr);
    // A run changes the working parameters (a stepped or perturbed value, a temperature pass):
    // the statement's given values stay what the statement said.
    model->params[1] = 150.0f;
    EvaluatedModel* again = FindModel(kModelSelectStatement, 0);
    ASSERT_EQ(again, model);
    EXPECT_FLOAT_EQ((*again->givenValues)[1], 100.0f);
    GlobalOptions().values.privateanalog = 1;
    EvaluatedModel* copy = FindModel(kModelSelectStatement, 0);
    ASSERT_NE(copy, model);
    EXPECT_FLOAT_EQ((*copy->givenValues)[1], 100.0f);
}

TEST_F(ModelStatements, WritersKeepWholeTextsAndWrapLines)
{
    EXPECT_EQ(FormatParamValue(kModelDiode, 1, ParamNotGiven), "undefined");
    EXPECT_EQ(FormatParamValue(kModelDiode, 1, 1e-14f), "10F");
    EXPECT_EQ(FormatParamValue(kModelDoutput, 3, MakeCharacterSlot('Z')), "\"Z\"");
    EXPECT_EQ(FormatParamValue(kModelDoutput, 9, MakeCharacterSlot('\0')), "\"\"");
    const std::string longName(60, 'N');
    EXPECT_EQ(FormatParamValue(kModelUio, 4, 0.0f, longName), "\"" + longName + "\"");

    EvaluatedModel* model = Evaluate(".MODEL D1 D (IS=2N RS=10 CJO=1P M=0.4 TT=5N BV=100 IBV=10U VJ=0.8 N=1.8)");
    ASSERT_NE(model, nullptr);
    GlobalOptions().values.width = 40;
    const std::string text = FormatModelStatement("D1", kModelDiode, kWriteContinuation, model->params.data(), 31,
                                                  nullptr, nullptr);
    EXPECT_EQ(text.rfind(".MODEL D1 D (", 0), 0u);
    EXPECT_NE(text.find("IS=2N"), std::string::npos);
    EXPECT_NE(text.find("\r\n+ "), std::string::npos);
    EXPECT_EQ(text.back(), ')');
    EXPECT_EQ(text.find("FC="), std::string::npos);  // equal to its default
    for (std::size_t start = 0, end; start < text.size(); start = end + 2) {
        end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        EXPECT_LE(end - start, 60u);
    }
    const std::vector<float> zeros(31, 0.0f);
    EXPECT_EQ(FormatModelStatement("D0", kModelDiode, 0, zeros.data(), 0, nullptr, nullptr), ".MODEL D0 D ( )");

    GlobalOptions().values.width = 80;
    // The I/O model's names are written whole.
    EvaluatedModel* io = Evaluate(".MODEL IO1 UIO (ATOD1=\"" + longName + "\")");
    ASSERT_NE(io, nullptr);
    const std::string ioText = FormatModelStatement("IO1", kModelUio, 0, io->params.data(), 21, nullptr, nullptr,
                                                    io->textParams.get());
    EXPECT_NE(ioText.find("ATOD1=\"" + longName + "\""), std::string::npos);
    EXPECT_EQ(ioText.find("ATOD2="), std::string::npos);

    // A statement of the table is written back with its own text and its base.
    ASSERT_GE(Parse(".MODEL Q1 NPN (BF=50)"), 0);
    ASSERT_GE(Parse(".MODEL Q2 AKO:Q1 NPN (BF=80)"), 0);
    ASSERT_GE(Parse(".MODEL QP PNP (BF=20)"), 0);
    std::string attached;
    EXPECT_EQ(FormatModelStatementAko("Q2", kModelNpn, -1, attached), ".MODEL Q2 AKO:Q1 NPN (BF=80)");
    EXPECT_EQ(FormatModelStatementAko("QP", kModelLpnp, -1, attached), ".MODEL QP LPNP (BF=20)");
    EXPECT_EQ(FormatModelStatementAko("NEW", kModelSin, -1, attached), ".MODEL NEW SIN (F=1MEG A=1 DC=0 PH=0 RS=1M RP=0 TAU=0)");
}

TEST_F(ModelStatements, PartModelsAndGivenFlags)
{
    ComponentDefinition diode;
    diode.type = kComponentDiode;
    SchematicItem part;
    part.definition = &diode;
    SetAttribute(nullptr, &part, kAttrModel, "dmod");
    SetAttribute(nullptr, &part, kAttrIoModel, "IOX");
    ASSERT_EQ(Parse(".MODEL DMOD D (RS=5)"), 0);

    EXPECT_EQ(IsModelParamGiven(&part, 11), 0);  // not evaluated yet: no flags
    EXPECT_EQ(GetPartModel(&part, kAttrModel), 0);
    ASSERT_NE(FindModel(kModelSelectStatement, 0), nullptr);
    EXPECT_EQ(IsModelParamGiven(&part, FindModelParamIndex(kModelDiode, "RS")), 1);
    EXPECT_EQ(IsModelParamGiven(&part, FindModelParamIndex(kModelDiode, "IS")), 0);
    EXPECT_EQ(IsModelParamGiven(&part, 99), 0);
    EXPECT_TRUE(ShownIds().empty());

    EXPECT_EQ(GetPartModel(&part, kAttrIoModel), -1);
    EXPECT_EQ(LastShownId(), 10852);
    SetAttribute(nullptr, &part, kAttrModel, "NONE");
    EXPECT_EQ(GetPartModel(&part, kAttrModel), -1);
    EXPECT_EQ(LastShownId(), 10834);
    EXPECT_TRUE(CircuitBuildFailed());
}

TEST_F(ModelStatements, ModelsAreWrittenIntoTheWindowText)
{
    WindowRecord* record = NewWindowRecord(nullptr, kWindowTextCircuit, true);
    ASSERT_NE(record, nullptr);
    SetRecordTitle(record, "amp.ckt");
    SetTextAreaText(record, "R1 1 0 1K\r\n.TRAN 1N 1U\r\n.end\r\n");
    ASSERT_EQ(ParseModelStatement(".MODEL D1 D (IS=1N)", 0, 7, kModelSourceTextFile, "parts.lib"), 0);

    EXPECT_EQ(WriteModelsToText(record, kModelDiode, "D1 from the library", "parts.lib"), 0);
    EXPECT_EQ(*CopyTextAreaText(record),
              "R1 1 0 1K\r\n.TRAN 1N 1U\r\n*** parts.lib\r\n.MODEL D1 D (IS=1N)\r\n.end\r\n");
    const ModelStatement& moved = *FindModelStatement(0);
    EXPECT_EQ(moved.sourceKind, kModelSourceTextWindow);
    EXPECT_EQ(moved.sourceName, "amp.ckt");
    EXPECT_EQ(moved.line, 3);
    EXPECT_NE(record->modified, 0);

    // A model the table does not hold is written with its type's defaults and read back.
    EXPECT_EQ(WriteModelsToText(record, kModelVswitch, "SW", ""), 0);
    EXPECT_NE(CopyTextAreaText(record)->find("*** \r\n.MODEL SW VSWITCH (RON=1 ROFF=1MEG VON=1 VOFF=0)\r\n.end"),
              std::string::npos);
    const int sw = FindModelInScope(kModelVswitch, 0, "SW");
    ASSERT_EQ(sw, 1);
    EXPECT_EQ(FindModelStatement(sw)->line, 5);
    EXPECT_EQ(FindModelStatement(sw)->sourceName, "amp.ckt");

    // Add Model Statements does nothing while an analysis runs.
    Analysis().analysisKind = kAnalysisTransient;
    const std::string before = *CopyTextAreaText(record);
    EXPECT_EQ(AddModelStatements(record), 0);
    EXPECT_EQ(*CopyTextAreaText(record), before);
    ResetWindowRecordsForTests();
}

}  // namespace
}  // namespace kq5::testing

namespace kq5::testing {
namespace {

TEST_F(ModelStatements, AHiddenTextAreaIsShownBelowTheSchematicFirst)
{
    WindowRecord* record = NewDocumentWindow(kWindowSchematic);
    ASSERT_NE(record, nullptr);
    win::ShowWindow(record->window, win::SW_SHOW);
    ASSERT_EQ(TextPaneOf(record), -1);
    EXPECT_EQ(WriteModelsToText(record, kModelVswitch, "SW", ""), 0);
    win::RECT client{};
    win::GetClientRect(record->window, &client);
    EXPECT_EQ(TextPaneOf(record), 2);
    EXPECT_EQ(record->document->splitterY, static_cast<int>(client.bottom * 0.8));
    EXPECT_NE(CopyTextAreaText(record)->find(".MODEL SW VSWITCH"), std::string::npos);
    win::DestroyWindow(record->window);
}

}  // namespace
}  // namespace kq5::testing
