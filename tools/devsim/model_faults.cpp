#include "tools/devsim/model_faults.h"

ModelFaults::RequestFault ModelFaults::TakeRequestFault() {
  if (vanishAfterRequests > 0 && --vanishAfterRequests == 0) return RequestFault::Vanish;
  if (ignoreRequests > 0) {
    --ignoreRequests;
    return RequestFault::Ignore;
  }
  return RequestFault::None;
}
