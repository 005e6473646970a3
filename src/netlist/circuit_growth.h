#pragma once
// How large a circuit may grow while its netlist is read and its subcircuits are expanded, and
// the watch kept over the expansion, which can take long: the component count is checked as it
// grows, Esc stops the expansion, and the status bar shows how far it got.
#include <string>

namespace kq5 {

struct CircuitDocument;
struct SchematicItem;

// Components a circuit may hold. Each takes somewhat under a kilobyte while it is read and
// about as much again once it is built, so a circuit at the limit needs several gigabytes;
// subcircuits that call each other into more than that are a mistake far more often than a
// design, and would otherwise expand until memory runs out.
inline constexpr int kMaxCircuitComponents = 4'000'000;
int CircuitComponentLimit();
// Sets the limit for tests; 0 restores kMaxCircuitComponents.
void SetCircuitComponentLimitForTests(int limit);

// 0 while the document holds no more components than the limit; else 15055 after a message.
int CheckNetlistComponentCount(const CircuitDocument& document);

// Forgets an Esc typed before the build began, so that only one typed during it stops it.
void ForgetEarlierEscape();

class ExpansionWatch {
  public:
    explicit ExpansionWatch(const CircuitDocument& document);
    ~ExpansionWatch();
    ExpansionWatch(const ExpansionWatch&) = delete;
    ExpansionWatch& operator=(const ExpansionWatch&) = delete;

    // Once for each item the expansion visits, `call` being the subckt call it is about to
    // expand (null for other items): 0 to go on; 15055 after the limit message (naming the
    // call); 15056 when Esc was pressed.
    int Visit(const SchematicItem* call);

  private:
    const CircuitDocument& document_;
    int visits_ = 0;
    bool progressShown_ = false;
    std::string savedStatus_;
};

}  // namespace kq5
