// Wrappers over any host back end that forward every member to the wrapped
// object, except the members a test has told to fail: a refused paste, a
// protected sheet, a failing property. Member names are
// "<Interface>.<Member>", for example "Worksheet.PasteSpecial",
// "Range.SetValues", "Range.ClearContents", "Application.SetScreenUpdating".
#pragma once

#include <map>
#include <memory>
#include <string>

#include "host/error.h"
#include "host/host.h"

namespace kelvora::host {

class FaultPlan {
 public:
  // Makes `member` fail with the given error from its `after`-th call on
  // (counted from 0), every time.
  void Fail(const std::string& member, int after = 0, int32_t number = 1004,
            const std::string& description = "The host refused the call") {
    faults_[member] = {after, number, description};
  }
  // Called by the wrappers before forwarding; throws when the member fails.
  void Check(const std::string& member) {
    const int n = calls_[member]++;
    auto it = faults_.find(member);
    if (it != faults_.end() && n >= it->second.after)
      throw CommandError(it->second.number, it->second.description);
  }
  int calls(const std::string& member) const {
    auto it = calls_.find(member);
    return it == calls_.end() ? 0 : it->second;
  }
  // Calls of every member so far.
  int total_calls() const {
    int total = 0;
    for (const auto& [member, n] : calls_) total += n;
    return total;
  }

 private:
  struct Fault {
    int after;
    int32_t number;
    std::string description;
  };
  std::map<std::string, Fault> faults_;
  std::map<std::string, int> calls_;
};

std::shared_ptr<Application> WrapApplication(std::shared_ptr<Application> target,
                                             std::shared_ptr<FaultPlan> plan);
std::shared_ptr<Workbook> WrapWorkbook(std::shared_ptr<Workbook> target,
                                       std::shared_ptr<FaultPlan> plan);

}  // namespace kelvora::host
