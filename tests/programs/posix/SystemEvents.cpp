// What the fault probe asks of the system: a second thread and console events as signals.
#include <signal.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

// Linux has no exception codes to raise, and faults of other threads are not converted there.
void RaiseCode(uint32_t) { std::abort(); }
void StartFaultingThread() { std::abort(); }
void StopsNeverCome() { std::abort(); }  // nothing stops the program's thread there
void ChainDefaultStand() {}              // a hang-up's default is the signal's own end

// A hang-up stands for the console's closing (CTRL_CLOSE_EVENT, 2); either key is SIGINT, on the calling thread
// either way.
void DeliverConsoleEvent(uint32_t event, bool) { kill(getpid(), event == 2 ? SIGHUP : SIGINT); }

void Pause() { pause(); }
void Nap() { usleep(500000); }
