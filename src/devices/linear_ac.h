#pragma once
// AC stamps of the linear elements: capacitors, inductors and their couplings, resistors and
// the three switch kinds at their present state. Each walks its device list in list order;
// those without a pass argument stamp in the stamp pass only.
namespace kq5 {

// Pass 0 stamps the susceptance omega C; pass 1 stores each capacitor's AC current.
int AcLoadCapacitors(int pass);
// Pass 0 stamps the branch incidence of each inductor's row and -j omega L on its diagonal;
// pass 1 stores each inductor's AC current, the solution of its row.
int AcLoadInductors(int pass);
// -j omega M between the rows of each coupled pair.
int AcLoadCouplings(int pass);
int AcLoadResistors(int pass);
int AcLoadSwitches(int pass);

}  // namespace kq5
