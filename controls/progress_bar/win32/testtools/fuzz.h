// Calls XP_ProgressBar with odd arguments, as a careless or hostile host would: Invoke through
// its type information with random members, flags and variants (other instances, fonts,
// pictures and references among them), QueryInterface with random identifiers, and the
// container interfaces with damaged saves, odd sizes and bad handles. Each call is made from its
// own number, so a run can go on after any call. It counts what must never happen: a state
// change after a failed write, an instance kept alive by the control.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "client.h"

namespace gaugekit::testing {

struct FuzzFigures {
    long calls = 0;
    long writes = 0;          // property writes made
    long failedWrites = 0;    // of which failed
    long stateChanges = 0;    // failed writes that changed what a save stores
    long redrawFailures = 0;  // writes that stored their value, then failed in the redraw
    long leakedInstances = 0;
    bool canUnload = false;             // the module's answer once the fuzzer let go of everything
    std::vector<std::string> findings;  // the first few, for a person to read
};

class Fuzzer {
  public:
    Fuzzer(const Module& module, std::uint64_t seed);
    ~Fuzzer();
    Fuzzer(const Fuzzer&) = delete;
    Fuzzer& operator=(const Fuzzer&) = delete;

    // Makes call number `index` (its arguments depend on the seed and the number alone).
    void call(long index);
    const FuzzFigures& figures() const;
    // The call being made (or last made), in a few words.
    const std::string& what() const;
    // Lets go of every object and counts the instances something else still holds.
    FuzzFigures finish();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace gaugekit::testing
