#pragma once
// The message of the fault of type FaultT that `action` raises; empty when
// it raises none. A fault of another type goes on up and fails the test.

#include <string>

template <class FaultT, class Action>
std::string FaultText(Action&& action) {
  try {
    action();
  } catch (const FaultT& e) {
    return e.what();
  }
  return std::string();
}
