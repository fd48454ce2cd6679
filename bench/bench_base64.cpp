// Speed of the Base64 codec on a 50 MB buffer, beside what the machine does anyway in the same run:
// Qt's own codec and, when installed, the coreutils `base64` program on a file.
// Figures are MB/s of binary data (10^6 bytes), best of several runs.

#include "clsBase64.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr qsizetype Dimensione = 50 * 1000 * 1000;
constexpr int Ripetizioni = 5;

// Best time of a few runs, in seconds.
double migliore(const std::function<void()> &lavoro)
{
    double minimo = 1e9;
    for (int i = 0; i < Ripetizioni; ++i) {
        QElapsedTimer t;
        t.start();
        lavoro();
        minimo = std::min(minimo, static_cast<double>(t.nsecsElapsed()) / 1e9);
    }
    return minimo;
}

double mbs(double secondi)
{
    return secondi > 0 ? static_cast<double>(Dimensione) / 1e6 / secondi : 0;
}

bool scrivi(const QString &percorso, const QByteArray &dati)
{
    QFile f(percorso);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(dati) == dati.size();
}

// Wall time of `base64 <argomenti> origine > destinazione`, or a negative value when it fails.
double coreutils(const QString &programma, const QStringList &argomenti, const QString &origine,
                 const QString &destinazione)
{
    return migliore([&] {
        QProcess p;
        p.setStandardOutputFile(destinazione);
        p.start(programma, QStringList(argomenti) << origine);
        p.waitForFinished(-1);
    });
}

void riga(const char *operazione, double nostro, double qt, double esterno)
{
    auto cella = [](double secondi) {
        static char testo[32];
        if (secondi < 0) {
            std::snprintf(testo, sizeof testo, "%10s", "-");
        } else {
            std::snprintf(testo, sizeof testo, "%10.0f", mbs(secondi));
        }
        return QByteArray(testo);
    };
    std::printf("%-34s %s %s %s\n", operazione, cella(nostro).constData(), cella(qt).constData(),
                cella(esterno).constData());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir cartella;

    QByteArray dati(Dimensione, Qt::Uninitialized);
    QRandomGenerator gen(20240229);
    gen.fillRange(reinterpret_cast<quint32 *>(dati.data()), Dimensione / 4);

    const clsBase64 b64;
    QByteArray testo;
    QByteArray ritorno;
    // A new output array each time, as Qt makes one: on a machine where fresh memory is slow to
    // touch, this is what the first conversion of a run costs.
    const double codificaNuova = migliore([&] {
        testo = QByteArray();
        b64.Base64Encoder(dati, testo);
    });
    const double decodificaNuova = migliore([&] {
        ritorno = QByteArray();
        b64.Base64Decoder(testo, ritorno);
    });
    // The caller's output array reused, as a loop of conversions does.
    const double codifica = migliore([&] { b64.Base64Encoder(dati, testo); });
    const double decodifica = migliore([&] { b64.Base64Decoder(testo, ritorno); });
    if (ritorno != dati || testo != dati.toBase64()) {
        std::printf("the codec does not round-trip: the figures below mean nothing\n");
    }
    const double qtCodifica = migliore([&] { testo = dati.toBase64(); });
    const double qtDecodifica = migliore([&] { ritorno = QByteArray::fromBase64(testo); });

    // Text broken into lines, as a mail program writes it.
    QByteArray righe;
    righe.reserve(testo.size() + testo.size() / 76 * 2 + 2);
    for (qsizetype i = 0; i < testo.size(); i += 76) {
        righe += testo.mid(i, 76);
        righe += "\r\n";
    }
    const double decodificaRighe = migliore([&] { b64.Base64Decoder(righe, ritorno); });
    const double qtDecodificaRighe = migliore([&] { ritorno = QByteArray::fromBase64(righe); });

    // Whole files, disk included.
    const QString bin = cartella.filePath(QStringLiteral("dati.bin"));
    const QString txt = cartella.filePath(QStringLiteral("dati.b64"));
    const QString out = cartella.filePath(QStringLiteral("dati.out"));
    scrivi(bin, dati);
    const double fileCodifica = migliore([&] { b64.EncodeFile(bin, txt); });
    const double fileDecodifica = migliore([&] { b64.DecodeFile(txt, out); });

    double cuCodifica = -1;
    double cuDecodifica = -1;
    const QString programma = QStandardPaths::findExecutable(QStringLiteral("base64"));
    if (!programma.isEmpty()) {
        cuCodifica = coreutils(programma, {QStringLiteral("-w"), QStringLiteral("0")}, bin,
                               cartella.filePath(QStringLiteral("cu.b64")));
        cuDecodifica = coreutils(programma, {QStringLiteral("-d")}, txt, cartella.filePath(QStringLiteral("cu.out")));
    }

    std::printf("Base64, %lld MB of random data, MB/s of binary data (best of %d)\n\n",
                static_cast<long long>(Dimensione / 1000000), Ripetizioni);
    std::printf("%-34s %10s %10s %10s\n", "operation", "clsBase64", "Qt", "coreutils");
    riga("encode, memory, new output", codificaNuova, qtCodifica, -1);
    riga("encode, memory, output reused", codifica, -1, -1);
    riga("decode, memory, new output", decodificaNuova, qtDecodifica, -1);
    riga("decode, memory, output reused", decodifica, -1, -1);
    riga("decode, 76-column lines, reused", decodificaRighe, qtDecodificaRighe, -1);
    riga("encode, file to file", fileCodifica, -1, cuCodifica);
    riga("decode, file to file", fileDecodifica, -1, cuDecodifica);
    if (programma.isEmpty()) {
        std::printf("\n(coreutils base64 not found)\n");
    }
    return 0;
}
