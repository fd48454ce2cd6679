#include "frmListaMedici.h"

#include "ConnessioneServer.h"
#include "ElencoRecord.h"
#include "Module1.h"

#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QSqlQuery>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

// Columns: the doctor's name, his fiscal code, his Ulmet value.
constexpr int ColonnaUlmet = 2;

} // namespace

frmListaMedici::frmListaMedici(QWidget *parent)
    : QDialog(parent),
      m_elenco(new ElencoRecord({QStringLiteral("Medico"), QStringLiteral("Cod.Fisc."), QStringLiteral("Ulmet")},
                                {60, 40, 40}, this)),
      m_scegli(new QPushButton(QStringLiteral("Scegli"), this)),
      m_annulla(new QPushButton(QStringLiteral("Annulla"), this))
{
    setWindowTitle(QStringLiteral("Medici del gruppo"));
    resize(560, 380);
    Module1::ImpostaDialogoAnnullato(true);

    m_scegli->setObjectName(QStringLiteral("Command1_0"));
    m_scegli->setEnabled(false);
    m_scegli->setDefault(true);
    m_annulla->setObjectName(QStringLiteral("Command1_1"));
    m_annulla->setAutoDefault(false);
    connect(m_scegli, &QPushButton::clicked, this, &frmListaMedici::Conferma);
    connect(m_annulla, &QPushButton::clicked, this, &frmListaMedici::reject);
    connect(m_elenco->Vista()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &frmListaMedici::SelezioneCambiata);
    connect(m_elenco->Vista(), &QTreeView::doubleClicked, this, &frmListaMedici::Conferma);

    auto *pulsanti = new QHBoxLayout;
    pulsanti->addStretch();
    pulsanti->addWidget(m_scegli);
    pulsanti->addWidget(m_annulla);
    auto *colonna = new QVBoxLayout(this);
    colonna->addWidget(m_elenco);
    colonna->addLayout(pulsanti);
}

frmListaMedici::~frmListaMedici() = default;

void frmListaMedici::Carica(lanvera::ConnessioneServer &server, int gruppo, const QString &cfProprio,
                            bool iniHostPresente)
{
    QSqlQuery q(server.database());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("Select Cognome,Nome,CF,Ulmet From tblmedici Where (IDGruppo=?) and (Sospeso=0) "
                                  "Order by Cognome,Nome"))) {
        return;
    }
    q.addBindValue(gruppo);
    if (!q.exec()) {
        return;
    }
    const QString proprio = cfProprio.toUpper();
    while (q.next()) {
        const QString cf = q.value(2).toString();
        if (cf.toUpper() != proprio || iniHostPresente) {
            const QString medico = QString(q.value(0).toString() + QLatin1Char(' ') + q.value(1).toString()).trimmed();
            m_elenco->AggiungiRecord({medico, cf, q.value(3).toString().trimmed()}, cf);
        }
    }
}

bool frmListaMedici::SelezionaCodice(const QString &cf)
{
    for (int riga = 0; riga < m_elenco->Records(); ++riga) {
        if (m_elenco->Tag(riga).toString().compare(cf, Qt::CaseInsensitive) == 0) {
            m_elenco->Seleziona(riga);
            return true;
        }
    }
    return false;
}

void frmListaMedici::SelezioneCambiata()
{
    m_scegli->setEnabled(m_elenco->RigaSelezionata() >= 0);
}

void frmListaMedici::Conferma()
{
    const int riga = m_elenco->RigaSelezionata();
    if (riga < 0) {
        return;
    }
    Module1::ImpostaRisultato1(m_elenco->Tag(riga).toString());
    Module1::ImpostaRisultato2(m_elenco->Cella(riga, ColonnaUlmet));
    Module1::ImpostaDialogoAnnullato(false);
    accept();
}

bool ScegliMedico(clinora::Risposte *r, lanvera::ConnessioneServer &server, int gruppo, const QString &cfProprio,
                  bool iniHostPresente, QWidget *parent)
{
    frmListaMedici form(parent);
    form.Carica(server, gruppo, cfProprio, iniHostPresente);
    return Module1::EseguiDialogo(r, QStringLiteral("medico"), form, *form.Command1(1),
                                  [&form](const QVariantHash &valori) {
                                      if (form.SelezionaCodice(valori.value(QStringLiteral("cf")).toString())) {
                                          form.Command1(0)->click();
                                      }
                                  });
}
