#include "ProxyServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace lanvera::test {

namespace {

using Orologio = std::chrono::steady_clock;

// Capability flags of the client's first packet, and the commands that carry a statement.
constexpr quint32 ClientCompress = 0x0020;
constexpr quint32 ClientSsl = 0x0800;
constexpr char ComQuery = 0x03;
constexpr char ComStmtPrepare = 0x16;
constexpr char ComStmtExecute = 0x17;
// The text is looked for in the first bytes of a packet: a statement begins with its verb.
constexpr qsizetype InizioEsaminato = 4096;
constexpr qsizetype PacchettoPieno = 0xffffff; // a packet this long continues in the next one

quint32 intero(const QByteArray &b, qsizetype da, int byte)
{
    quint32 v = 0;
    for (int i = byte - 1; i >= 0; --i) {
        v = (v << 8) | quint8(b.at(da + i));
    }
    return v;
}

// One descriptor, closed with its owner.
class Descrittore
{
public:
    explicit Descrittore(int fd = -1) : m_fd(fd) {}
    ~Descrittore()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Q_DISABLE_COPY_MOVE(Descrittore)
    int fd() const { return m_fd; }

private:
    int m_fd;
};

bool scriviTutto(int fd, const char *dati, qsizetype n)
{
    while (n > 0) {
        const ssize_t scritti = ::send(fd, dati, size_t(n), MSG_NOSIGNAL);
        if (scritti < 0 && errno == EINTR) {
            continue;
        }
        if (scritti <= 0) {
            return false;
        }
        dati += scritti;
        n -= scritti;
    }
    return true;
}

// The client's packets, cut from the byte stream as it passes: a header of three bytes of length
// and one of sequence, then the payload. Commands are the packets with sequence 0.
class Pacchetti
{
public:
    struct Pacchetto
    {
        bool primo = false;   // the client's first packet: its capability flags
        bool comando = false; // the first packet of a command
        QByteArray inizio;    // the payload's first bytes
    };

    // Adds bytes; calls fatto(packet) for each packet that ends in them.
    template<typename F>
    void aggiungi(const char *dati, qsizetype n, F fatto)
    {
        while (n > 0) {
            if (m_intestazione.size() < 4) {
                const qsizetype k = qMin(4 - m_intestazione.size(), n);
                m_intestazione.append(dati, k);
                dati += k;
                n -= k;
                if (m_intestazione.size() == 4) {
                    m_resto = intero(m_intestazione, 0, 3);
                    m_corrente = {};
                    m_corrente.primo = m_visti == 0;
                    m_corrente.comando = !m_continua && m_intestazione.at(3) == 0;
                    m_continua = m_resto == PacchettoPieno;
                }
            } else {
                const qsizetype k = qMin(m_resto, n);
                m_corrente.inizio.append(dati, qMin(k, qMax<qsizetype>(0, InizioEsaminato - m_corrente.inizio.size())));
                dati += k;
                n -= k;
                m_resto -= k;
            }
            if (m_intestazione.size() == 4 && m_resto == 0) {
                ++m_visti;
                m_intestazione.clear();
                fatto(m_corrente);
            }
        }
    }

private:
    QByteArray m_intestazione;
    qsizetype m_resto = 0;
    bool m_continua = false;
    int m_visti = 0;
    Pacchetto m_corrente;
};

} // namespace

ProxyServer::~ProxyServer()
{
    if (m_thread.joinable()) {
        const char fine = 0;
        [[maybe_unused]] const ssize_t scritto = ::write(m_sveglia[1], &fine, 1);
        m_thread.join();
    }
    for (int fd : {m_ascolto, m_sveglia[0], m_sveglia[1]}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

bool ProxyServer::avvia(const QString &host, int porta, std::chrono::seconds limite)
{
    auto fallisci = [this](const QString &testo) {
        const int errore = errno;
        m_ultimoErrore = testo + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errore));
        return false;
    };
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(quint16(porta));
    const QString indirizzo = host == QStringLiteral("localhost") ? QStringLiteral("127.0.0.1") : host;
    if (::inet_pton(AF_INET, indirizzo.toLatin1().constData(), &server.sin_addr) != 1 ||
        (ntohl(server.sin_addr.s_addr) >> 24) != 127) {
        m_ultimoErrore = QStringLiteral("%1 is not a loopback address").arg(host);
        return false;
    }
    if (::pipe2(m_sveglia, O_CLOEXEC) != 0) {
        return fallisci(QStringLiteral("pipe"));
    }
    m_ascolto = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_ascolto < 0) {
        return fallisci(QStringLiteral("socket"));
    }
    sockaddr_in locale{};
    locale.sin_family = AF_INET;
    locale.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t lunghezza = sizeof(locale);
    if (::bind(m_ascolto, reinterpret_cast<sockaddr *>(&locale), sizeof(locale)) != 0 || ::listen(m_ascolto, 4) != 0 ||
        ::getsockname(m_ascolto, reinterpret_cast<sockaddr *>(&locale), &lunghezza) != 0) {
        return fallisci(QStringLiteral("listening on 127.0.0.1"));
    }
    m_porta = ntohs(locale.sin_port);

    m_thread = std::thread([this, server, fine = Orologio::now() + limite] {
        // A new connection to the server for each client, one client at a time.
        for (;;) {
            pollfd attese[2] = {{m_ascolto, POLLIN, 0}, {m_sveglia[0], POLLIN, 0}};
            const auto resta = std::chrono::duration_cast<std::chrono::milliseconds>(fine - Orologio::now());
            if (resta.count() <= 0) {
                return;
            }
            const int pronti = ::poll(attese, 2, int(qMin<qint64>(resta.count(), 1000)));
            if ((pronti < 0 && errno != EINTR) || attese[1].revents != 0) {
                return;
            }
            if (pronti <= 0 || attese[0].revents == 0) {
                continue;
            }
            const Descrittore client(::accept4(m_ascolto, nullptr, nullptr, SOCK_CLOEXEC));
            const Descrittore verso(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
            if (client.fd() >= 0 && verso.fd() >= 0 &&
                ::connect(verso.fd(), reinterpret_cast<const sockaddr *>(&server), sizeof(server)) == 0) {
                inoltra(client.fd(), verso.fd(), fine);
            }
        }
    });
    return true;
}

void ProxyServer::arma(const QByteArray &innesco, qint64 pid)
{
    const std::lock_guard<std::mutex> blocco(m_mutex);
    m_innesco = innesco;
    m_pid = pid;
}

void ProxyServer::inoltra(int client, int server, Orologio::time_point fine)
{
    // What the armed proxy waits for on this connection.
    enum class Attesa
    {
        Comando,
        Preparazione,
        Esecuzione,
        Risposta
    } attesa = Attesa::Comando;
    quint32 istruzione = 0; // the id of the prepared statement that carries the text
    QByteArray rispostaPreparazione;
    Pacchetti pacchetti;
    auto esamina = [&](const Pacchetti::Pacchetto &p) {
        if (p.primo && p.inizio.size() >= 4 && (intero(p.inizio, 0, 4) & (ClientSsl | ClientCompress)) != 0) {
            m_inChiaro = false;
        }
        if (!p.comando || p.inizio.isEmpty()) {
            return;
        }
        const char comando = p.inizio.at(0);
        if (attesa == Attesa::Esecuzione && comando == ComStmtExecute && p.inizio.size() >= 5 &&
            intero(p.inizio, 1, 4) == istruzione) {
            attesa = Attesa::Risposta;
            return;
        }
        if (attesa != Attesa::Comando || (comando != ComQuery && comando != ComStmtPrepare)) {
            return;
        }
        const std::lock_guard<std::mutex> blocco(m_mutex);
        if (m_pid > 0 && !m_innesco.isEmpty() && p.inizio.contains(m_innesco)) {
            attesa = comando == ComQuery ? Attesa::Risposta : Attesa::Preparazione;
        }
    };

    char dati[65536];
    for (;;) {
        pollfd attese[3] = {{client, POLLIN, 0}, {server, POLLIN, 0}, {m_sveglia[0], POLLIN, 0}};
        const auto resta = std::chrono::duration_cast<std::chrono::milliseconds>(fine - Orologio::now());
        if (resta.count() <= 0) {
            return;
        }
        const int pronti = ::poll(attese, 3, int(qMin<qint64>(resta.count(), 1000)));
        if ((pronti < 0 && errno != EINTR) || attese[2].revents != 0) {
            return;
        }
        if (pronti <= 0) {
            continue;
        }
        if (attese[0].revents != 0) {
            const ssize_t letti = ::recv(client, dati, sizeof(dati), 0);
            if (letti <= 0) {
                return;
            }
            pacchetti.aggiungi(dati, letti, esamina);
            if (!scriviTutto(server, dati, letti)) {
                return;
            }
        }
        if (attese[1].revents != 0) {
            const ssize_t letti = ::recv(server, dati, sizeof(dati), 0);
            if (letti <= 0) {
                return;
            }
            if (attesa == Attesa::Risposta) {
                // The server has answered: the client dies without the answer.
                const std::lock_guard<std::mutex> blocco(m_mutex);
                ::kill(pid_t(m_pid), SIGKILL);
                m_scattato = true;
                m_innesco.clear();
                m_pid = 0;
                return;
            }
            if (attesa == Attesa::Preparazione) {
                // The answer to the preparation: status 0, then the statement's id.
                rispostaPreparazione.append(dati, qMin<qsizetype>(letti, 9 - rispostaPreparazione.size()));
                if (rispostaPreparazione.size() >= 9) {
                    istruzione = intero(rispostaPreparazione, 5, 4);
                    attesa = rispostaPreparazione.at(4) == 0 ? Attesa::Esecuzione : Attesa::Comando;
                }
            }
            if (!scriviTutto(client, dati, letti)) {
                return;
            }
        }
    }
}

} // namespace lanvera::test
