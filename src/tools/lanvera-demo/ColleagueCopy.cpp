#include "ColleagueCopy.h"

#include "PacchettoCartella.h"
#include "Recordset.h"

#include <QFile>

#include <algorithm>

using lanvera::dao::ComeData;
using lanvera::dao::Parentesi;
using lanvera::dao::Recordset;
using lanvera::dao::TestoDataArchivio;

namespace {

bool failed(QString *error, const QString &what, const lanvera::dao::Errore &reason)
{
    if (error) {
        *error = what + QStringLiteral(": ") + reason.testo();
    }
    return false;
}

// The package's work folder lies below the temporary folder: for as long as the object lives the
// temporary folder is the copy's own.
class TemporaryFolder
{
public:
    explicit TemporaryFolder(const QString &folder)
        : m_before(qgetenv("TMPDIR")), m_had(qEnvironmentVariableIsSet("TMPDIR"))
    {
        qputenv("TMPDIR", QFile::encodeName(folder));
    }
    ~TemporaryFolder()
    {
        if (m_had) {
            qputenv("TMPDIR", m_before);
        } else {
            qunsetenv("TMPDIR");
        }
    }
    Q_DISABLE_COPY_MOVE(TemporaryFolder)

private:
    QByteArray m_before;
    bool m_had;
};

} // namespace

ColleagueCopy::ColleagueCopy() = default;

ColleagueCopy::~ColleagueCopy()
{
    m_stato.archivio = nullptr;
    m_copia.chiudi();
}

bool ColleagueCopy::open(const QString &archivio, const QString &fileTabelle, QString *error)
{
    if (!m_dir.isValid()) {
        *error = QStringLiteral("cannot make a temporary folder: ") + m_dir.errorString();
        return false;
    }
    const QString copia = m_dir.filePath(QStringLiteral("ClinoraQUOR.mdb"));
    if (!QFile::copy(archivio, copia)) {
        *error = QStringLiteral("cannot copy %1 into %2").arg(archivio, m_dir.path());
        return false;
    }
    if (!m_copia.apri(copia)) {
        return failed(error, QStringLiteral("opening the copy of ") + archivio, m_copia.ultimoErrore());
    }
    m_stato.archivio = &m_copia;
    PacchettoCartella pacchetto(m_stato);
    if (!pacchetto.CaricaListaTabelle(fileTabelle)) {
        *error = m_stato.messaggioErrore;
        return false;
    }

    // As downloaded: every row of every chart table counts as sent.
    if (!m_copia.iniziaTransazione()) {
        return failed(error, QStringLiteral("marking the copy as sent"), m_copia.ultimoErrore());
    }
    for (const clsTabelle &tabella : std::as_const(m_stato.tabelle)) {
        if (!m_copia.esisteTabella(tabella.Tabella)) {
            continue;
        }
        for (const QString &campo : {QStringLiteral("ToSend"), QStringLiteral("ToRepl")}) {
            if (m_copia.esisteCampo(tabella.Tabella, campo) &&
                !m_copia.esegui(QStringLiteral("UPDATE %1 SET %2=-1 WHERE %2<>-1 OR %2 IS NULL")
                                    .arg(Parentesi(tabella.Tabella), Parentesi(campo)))) {
                const lanvera::dao::Errore reason = m_copia.ultimoErrore();
                m_copia.annullaTransazione();
                return failed(error, QStringLiteral("marking ") + tabella.Tabella + QStringLiteral(" as sent"), reason);
            }
        }
    }
    if (!m_copia.confermaTransazione()) {
        return failed(error, QStringLiteral("marking the copy as sent"), m_copia.ultimoErrore());
    }
    return true;
}

bool ColleagueCopy::changeDiary(qint32 idPaziente, const QString &note, const QDateTime &adesso, ChangedRow *row,
                                QString *error)
{
    qint64 id = 0;
    QString testo;
    QDateTime ultimo;
    {
        Recordset rs(m_copia);
        if (!rs.apri(QStringLiteral("SELECT ID, GUID, Data, Diario, LastUpdate FROM tblDiario WHERE IDPaziente=? "
                                    "ORDER BY Data DESC, ID DESC LIMIT 1"),
                     Recordset::Tipo::SoloAvanti, {idPaziente})) {
            return failed(error, QStringLiteral("reading the diary"), rs.ultimoErrore());
        }
        if (rs.eof()) {
            *error = QStringLiteral("no diary entry");
            return false;
        }
        id = rs.valore(QStringLiteral("ID")).toLongLong();
        row->guid = rs.testo(QStringLiteral("GUID"));
        const QDateTime data = ComeData(rs.valore(QStringLiteral("Data")));
        row->data = data.isValid() ? data.date().toString(QStringLiteral("dd/MM/yyyy")) : QString();
        testo = rs.testo(QStringLiteral("Diario"));
        ultimo = ComeData(rs.valore(QStringLiteral("LastUpdate")));
    }
    // The merge keeps the newer row: the change must be newer than the owner's row.
    QDateTime quando = adesso;
    if (ultimo.isValid()) {
        quando = std::max(quando, ultimo.addSecs(1));
    }
    row->lastUpdate = TestoDataArchivio(quando);
    const QString nuovo = testo.isEmpty() ? note : testo + QStringLiteral("\r\n") + note;
    if (!m_copia.esegui(QStringLiteral("UPDATE tblDiario SET Diario=?, LastUpdate=?, ToSend=0 WHERE ID=?"),
                        {nuovo, row->lastUpdate, id})) {
        return failed(error, QStringLiteral("changing the diary"), m_copia.ultimoErrore());
    }
    return true;
}

bool ColleagueCopy::package(qint32 idPaziente, QString *text, QString *error)
{
    const TemporaryFolder cartella(m_dir.path());
    PacchettoCartella pacchetto(m_stato);
    if (!pacchetto.CreaCartella(idPaziente, *text)) {
        *error = m_stato.messaggioErrore;
        return false;
    }
    return true;
}
