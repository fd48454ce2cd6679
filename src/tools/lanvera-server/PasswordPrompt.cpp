#include "PasswordPrompt.h"

#include <cstdio>
#include <iostream>
#include <string>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace lanvera {

namespace {

// Turns terminal echo off for its lifetime.
class EchoOff
{
public:
    EchoOff()
    {
#ifdef Q_OS_WIN
        m_handle = GetStdHandle(STD_INPUT_HANDLE);
        if (GetConsoleMode(m_handle, &m_mode)) {
            m_active = SetConsoleMode(m_handle, m_mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) != 0;
        }
#else
        if (tcgetattr(STDIN_FILENO, &m_saved) == 0) {
            termios quiet = m_saved;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            m_active = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        }
#endif
    }

    ~EchoOff()
    {
        if (!m_active) {
            return;
        }
#ifdef Q_OS_WIN
        SetConsoleMode(m_handle, m_mode);
#else
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &m_saved);
#endif
    }

    Q_DISABLE_COPY_MOVE(EchoOff)

private:
    bool m_active = false;
#ifdef Q_OS_WIN
    HANDLE m_handle = nullptr;
    DWORD m_mode = 0;
#else
    termios m_saved{};
#endif
};

} // namespace

bool standardInputIsTerminal()
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stdin)) != 0;
#else
    return isatty(STDIN_FILENO) != 0;
#endif
}

std::optional<QString> readPasswordFromTerminal(const QString &prompt)
{
    if (!standardInputIsTerminal()) {
        return std::nullopt;
    }
    std::cerr << prompt.toStdString() << std::flush;
    std::string line;
    bool ok = false;
    {
        EchoOff echoOff;
        ok = static_cast<bool>(std::getline(std::cin, line));
    }
    std::cerr << std::endl;
    if (!ok) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return QString::fromStdString(line);
}

} // namespace lanvera
