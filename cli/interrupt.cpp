#include "cli/interrupt.h"

#include <atomic>
#include <csignal>

namespace pelmora::cli {
namespace {

// Lock-free, hence safe to store from a signal handler.
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void NoteStop(int signal) { stopSignal.store(signal, std::memory_order_relaxed); }

}  // namespace

void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = NoteStop;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a blocked write returns EINTR and is retried by the
    // write loop, which then sees nothing new; SA_RESETHAND lets a second
    // Ctrl-C end a run that is stuck.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int StopSignal() { return stopSignal.load(std::memory_order_relaxed); }

void SetStopSignal(int signal) { stopSignal.store(signal, std::memory_order_relaxed); }

}  // namespace pelmora::cli
