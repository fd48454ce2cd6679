#include "Module1.h"

#include "ContrattoClinora.h"
#include "clsAES.h"

#include <QAbstractButton>
#include <QDialog>

namespace Module1 {

namespace {

struct EsitoDialogo
{
    bool annullato = true;
    QString risultato[3];
};

EsitoDialogo &Esito()
{
    static EsitoDialogo esito;
    return esito;
}

} // namespace

QString CifraPassword(const QString &testo)
{
    if (testo.isEmpty()) {
        return {};
    }
    return clsAES().EncryptStr(testo);
}

bool DialogoAnnullato()
{
    return Esito().annullato;
}

void ImpostaDialogoAnnullato(bool annullato)
{
    Esito().annullato = annullato;
}

QString Risultato1()
{
    return Esito().risultato[0];
}

QString Risultato2()
{
    return Esito().risultato[1];
}

QString Risultato3()
{
    return Esito().risultato[2];
}

void ImpostaRisultato1(const QString &testo)
{
    Esito().risultato[0] = testo;
}

void ImpostaRisultato2(const QString &testo)
{
    Esito().risultato[1] = testo;
}

void ImpostaRisultato3(const QString &testo)
{
    Esito().risultato[2] = testo;
}

bool EseguiDialogo(clinora::Risposte *risposte, const QString &nome, QDialog &dialogo, QAbstractButton &annulla,
                   const std::function<void(const QVariantHash &)> &compila)
{
    QVariantHash valori;
    if (risposte && risposte->Dialogo(nome, valori)) {
        if (valori.value(QStringLiteral("annulla")).toBool()) {
            annulla.click();
        } else {
            compila(valori);
        }
    } else {
        dialogo.exec();
    }
    return !DialogoAnnullato();
}

int EtaDaData(const QString &data, const QDate &oggi)
{
    const QDate nascita = QDate::fromString(data.trimmed(), QStringLiteral("dd/MM/yyyy"));
    if (!nascita.isValid()) {
        return 0;
    }
    int anni = oggi.year() - nascita.year();
    if (anni <= 0) {
        return 0;
    }
    if (oggi.month() < nascita.month() || (oggi.month() == nascita.month() && oggi.day() < nascita.day())) {
        --anni;
    }
    return anni;
}

} // namespace Module1
