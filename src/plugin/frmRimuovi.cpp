#include "frmRimuovi.h"

#include "BarraStandard.h"
#include "ElencoRecord.h"
#include "Module1.h"

#include <QAction>
#include <QHBoxLayout>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>

frmRimuovi::frmRimuovi(clinora::Risposte *risposte, QList<clsPaziente> &lista, QWidget *parent)
    : QDialog(parent), m_prompt(risposte, this), m_lista(lista),
      m_elenco(new ElencoRecord(
          {QString(), QStringLiteral("Cognome"), QStringLiteral("Nome"), QStringLiteral("Codice Fiscale")},
          {20, 30, 30, 40}, this)),
      m_cmdChiudi(new QPushButton(QStringLiteral("Chiudi"), this))
{
    setWindowTitle(QStringLiteral("Rimozione pazienti dal server"));
    resize(640, 420);
    Module1::ImpostaDialogoAnnullato(true);

    for (const clsPaziente &p : std::as_const(m_lista)) {
        m_elenco->AggiungiRecord({QString(), p.Cognome, p.Nome, p.CF}, p.KeyPaziente, true);
    }

    m_cmdChiudi->setObjectName(QStringLiteral("cmdChiudi"));
    m_cmdChiudi->setAutoDefault(false);
    connect(m_cmdChiudi, &QPushButton::clicked, this, &frmRimuovi::reject);

    auto *pulsanti = new QHBoxLayout;
    pulsanti->addStretch();
    pulsanti->addWidget(m_cmdChiudi);
    auto *colonna = new QVBoxLayout(this);
    colonna->setMenuBar(CostruisciBarra());
    colonna->addWidget(m_elenco);
    colonna->addLayout(pulsanti);
}

frmRimuovi::~frmRimuovi() = default;

QToolBar *frmRimuovi::CostruisciBarra()
{
    m_barra = CreaBarraStandard(
        this, {{SelezionaTutto, "Selez.Tutto", "Seleziona tutti i pazienti"},
               {DeselezionaTutto, "Des.Tutto", "Deseleziona tutto"},
               {Rimuovi, "Rimuovi", "Rimuove definitivamente i pazienti selezionati dal server", true}});
    const bool record = m_elenco->Records() > 0;
    for (QAction *a : m_barra->actions()) {
        a->setEnabled(record);
    }
    connect(m_barra, &QToolBar::actionTriggered, this, &frmRimuovi::AzioneScelta);
    return m_barra;
}

QAction *frmRimuovi::Azione(Comando id) const
{
    return AzioneBarra(m_barra, id);
}

void frmRimuovi::AzioneScelta(QAction *azione)
{
    EseguiComando(azione->data().toInt());
}

void frmRimuovi::EseguiComando(int id)
{
    switch (id) {
    case SelezionaTutto:
        if (m_prompt.domanda(QStringLiteral("Selezionare tutti i pazienti?"))) {
            SpuntaTutti(true);
        }
        break;
    case DeselezionaTutto:
        SpuntaTutti(false);
        break;
    case Rimuovi:
        RimuoviSelezionati();
        break;
    default:
        break;
    }
}

void frmRimuovi::SpuntaTutti(bool spuntati)
{
    for (int riga = 0; riga < m_elenco->Records(); ++riga) {
        m_elenco->Spunta(riga, spuntati);
    }
}

void frmRimuovi::SpuntaCodici(const QStringList &codici)
{
    for (int riga = 0; riga < m_elenco->Records(); ++riga) {
        if (codici.contains(m_lista.at(riga).CF, Qt::CaseInsensitive)) {
            m_elenco->Spunta(riga, true);
        }
    }
}

void frmRimuovi::RimuoviSelezionati()
{
    bool qualcuno = false;
    for (int riga = 0; riga < m_elenco->Records() && !qualcuno; ++riga) {
        qualcuno = m_elenco->Spuntato(riga);
    }
    if (!qualcuno) {
        m_prompt.avviso(QStringLiteral("Nessun paziente selezionato"));
        return;
    }
    if (!m_prompt.domanda(QStringLiteral("ATTENZIONE: La rimozione comporta che la cartella del paziente non sia più "
                                         "condivisa e \r\ni dati presenti sul server completamente eliminati.\r\n\r\n"
                                         "Rimuovere completamente dal server i pazienti selezionati?")) ||
        !m_prompt.domanda(
            QStringLiteral("RICONFERMA: Procedo all'eliminazione sul server dei pazienti selezionati?"))) {
        return;
    }
    // The rows are the list's patients, in its order.
    for (int riga = 0; riga < m_elenco->Records(); ++riga) {
        m_lista[riga].Elimina = m_elenco->Spuntato(riga);
    }
    Module1::ImpostaDialogoAnnullato(false);
    accept();
}

bool ScegliDaRimuovere(clinora::Risposte *r, QList<clsPaziente> &lista, QWidget *parent)
{
    frmRimuovi form(r, lista, parent);
    return Module1::EseguiDialogo(r, QStringLiteral("rimuovi"), form, *form.cmdChiudi(),
                                  [&form](const QVariantHash &valori) {
                                      form.SpuntaCodici(valori.value(QStringLiteral("cf")).toStringList());
                                      form.Azione(frmRimuovi::Rimuovi)->trigger();
                                  });
}
