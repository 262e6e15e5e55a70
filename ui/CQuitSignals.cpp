#include "ui/CQuitSignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {
volatile sig_atomic_t g_nWrite = -1; // the pipe's end the handler writes to; -1: no object

extern "C" void PostSignal(int nSignal)
{
    const int nSaved = errno;
    const unsigned char c = static_cast<unsigned char>(nSignal);
    if (g_nWrite >= 0 && write(g_nWrite, &c, 1) < 0) {
        // A full pipe holds enough signals already.
    }
    errno = nSaved;
}
} // namespace

CQuitSignals::CQuitSignals(QObject* pParent) : QObject(pParent)
{
    int nPipe[2];
    if (g_nWrite >= 0 || pipe2(nPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_nRead = nPipe[0];
    g_nWrite = nPipe[1];
    m_pNotifier = new QSocketNotifier(m_nRead, QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, &CQuitSignals::Read);
    struct sigaction action = {};
    action.sa_handler = PostSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < SIGNALS; ++i) {
        // One that whoever started the program ignores (nohup) stays ignored.
        if (sigaction(m_nSignals[i], nullptr, &m_Old[i]) == 0 && m_Old[i].sa_handler != SIG_IGN)
            sigaction(m_nSignals[i], &action, nullptr);
    }
}

CQuitSignals::~CQuitSignals()
{
    if (!m_pNotifier)
        return;
    for (size_t i = 0; i < SIGNALS; ++i)
        sigaction(m_nSignals[i], &m_Old[i], nullptr);
    const int nWrite = g_nWrite;
    g_nWrite = -1;
    close(nWrite);
    close(m_nRead);
}

void CQuitSignals::Read()
{
    unsigned char c;
    while (read(m_nRead, &c, 1) == 1)
        emit Received(c);
}
