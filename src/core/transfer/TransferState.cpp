#include "TransferState.h"

namespace khub::transfer {

TransferState::~TransferState() {
    if (cancel) cancel->Cancel();
    if (worker.joinable()) worker.join();
}

}  // namespace khub::transfer
