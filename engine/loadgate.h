#pragma once

namespace engine {

// Latest wins, without cancelling: while a load is in flight, refreshes only mark that one more
// load is due, however many come; when the load ends (done, failed or given up on), that one
// load starts. A load cancelled by the next would leave nothing shown while the user types.
class LoadGate {
public:
    // A refresh wrote the file. True: start a load now.
    bool refresh();
    // The load in flight ended, whichever way. True: start one more, for the refreshes meanwhile.
    bool finished();
    // The pane shows something else now: nothing is in flight or due.
    void reset();
    bool isBusy() const { return m_busy; }

private:
    bool m_busy = false;
    bool m_due = false;
};

}  // namespace engine
