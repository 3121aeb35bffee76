#pragma once

#include <QObject>

class QSocketNotifier;

namespace platform {

// The requests to end that the system sends a program (SIGTERM at a shutdown or from kill,
// SIGHUP when its terminal closes, SIGINT for Ctrl+C), heard in the event loop of the thread
// that made this: the handler itself only writes the signal's number to a pipe. One at a time;
// while it lives, those signals no longer end the program by themselves.
class StopSignals : public QObject {
    Q_OBJECT

public:
    explicit StopSignals(QObject *parent = nullptr);
    // The signals do as they did before.
    ~StopSignals() override;
    Q_DISABLE_COPY_MOVE(StopSignals)

    // Whether the handlers are in place.
    bool isListening() const { return m_notifier != nullptr; }

signals:
    void received(int signal);

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
};

}  // namespace platform
