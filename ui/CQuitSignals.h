#pragma once
// SIGTERM and SIGHUP (a logout, a kill, a closed terminal) reach the window as an event: the
// handler only writes the signal's number into a pipe, whose other end the event loop watches, so
// that the window ends on its own thread, as a close does, with nothing unsafe done in the handler.
// One object at a time; it puts back the handlers it found when it goes.
#include <QObject>
#include <csignal>
#include <cstddef>

class QSocketNotifier;

class CQuitSignals : public QObject {
    Q_OBJECT
public:
    explicit CQuitSignals(QObject* pParent = nullptr);
    ~CQuitSignals() override;
    // False where the pipe could not be made or another object holds the signals: they then do
    // what they did before.
    bool IsInstalled() const { return m_pNotifier != nullptr; }

signals:
    void Received(int nSignal);

private:
    void Read();

    QSocketNotifier* m_pNotifier = nullptr;
    int m_nRead = -1;
    static constexpr size_t SIGNALS = 2;
    const int m_nSignals[SIGNALS] = {SIGTERM, SIGHUP};
    struct sigaction m_Old[SIGNALS] = {};
};
