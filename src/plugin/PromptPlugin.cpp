#include "PromptPlugin.h"

#include "PlugIn.h"
#include "PromptMessageBox.h"

#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>

using clinora::Risposte;

namespace {

Risposte::Icona IconaHost(lanvera::Prompt::Icona icona)
{
    switch (icona) {
    case lanvera::Prompt::Icona::Informazione:
        return Risposte::Icona::Informazione;
    case lanvera::Prompt::Icona::Domanda:
        return Risposte::Icona::Domanda;
    case lanvera::Prompt::Icona::Esclamazione:
        return Risposte::Icona::Esclamazione;
    case lanvera::Prompt::Icona::Critico:
        break;
    }
    return Risposte::Icona::Critico;
}

} // namespace

PromptPlugin::PromptPlugin(Risposte *risposte, QWidget *parent) : m_risposte(risposte), m_genitore(parent) {}

lanvera::Prompt::Risposta PromptPlugin::chiedi(const Messaggio &messaggio)
{
    if (!m_risposte) {
        return messaggio.predefinita;
    }
    const bool siNo = messaggio.pulsanti == Pulsanti::SiNo;
    const Risposte::Risposta predefinita = !siNo                                   ? Risposte::Risposta::Ok
                                           : messaggio.predefinita == Risposta::Si ? Risposte::Risposta::Si
                                                                                   : Risposte::Risposta::No;
    const Risposte::Risposta risposta =
        m_risposte->Messaggio(messaggio.titolo, messaggio.testo, IconaHost(messaggio.icona),
                              siNo ? Risposte::Pulsanti::SiNo : Risposte::Pulsanti::Ok, predefinita);
    if (!siNo) {
        return Risposta::Ok;
    }
    return risposta == Risposte::Risposta::Si ? Risposta::Si : Risposta::No;
}

QString PromptPlugin::fileDaSalvare(const QString &titolo, const QString &filtro)
{
    QVariantHash valori{{QStringLiteral("titolo"), titolo}, {QStringLiteral("filtro"), filtro}};
    if (m_risposte && m_risposte->Dialogo(QStringLiteral("salva"), valori)) {
        return valori.value(QStringLiteral("annulla")).toBool() ? QString()
                                                                : valori.value(QStringLiteral("file")).toString();
    }
    return QFileDialog::getSaveFileName(m_genitore, titolo, QString(), PromptMessageBox::FiltroQt(filtro));
}

bool PromptPlugin::stampante(QPrinter &stampante)
{
    QVariantHash valori;
    if (m_risposte && m_risposte->Dialogo(QStringLiteral("stampa"), valori)) {
        const QString pdf = valori.value(QStringLiteral("pdf")).toString();
        if (valori.value(QStringLiteral("annulla")).toBool() || pdf.isEmpty()) {
            return false;
        }
        stampante.setOutputFormat(QPrinter::PdfFormat);
        stampante.setOutputFileName(pdf);
        return true;
    }
    QPrintDialog dialogo(&stampante, m_genitore);
    return dialogo.exec() == QDialog::Accepted;
}

void PromptPlugin::avviso(const QString &testo)
{
    chiedi({PlugIn::NomeProdotto(), testo, Icona::Esclamazione});
}

bool PromptPlugin::domanda(const QString &testo)
{
    return conferma(PlugIn::NomeProdotto(), testo) == Risposta::Si;
}
