#include "modTray.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QtMath>

modTray::modTray(QObject *parent) : QObject(parent) {}

modTray::~modTray()
{
    TrayRimuovi();
}

void modTray::TrayAggiungi(const QIcon &icona, const QString &tooltip, const QString &fumetto, const QString &titolo)
{
    m_tooltip = tooltip;
    m_fumetto = fumetto;
    m_titolo = titolo;
    m_presente = true;
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return;
    }
    m_icona = new QSystemTrayIcon(icona, this);
    m_icona->setToolTip(tooltip);
    connect(m_icona, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason motivo) {
        if (motivo == QSystemTrayIcon::Trigger) {
            Q_EMIT cliccato();
        }
    });
    connect(m_icona, &QSystemTrayIcon::messageClicked, this, &modTray::cliccato);
    m_icona->show();
    mostraFumetto();
}

void modTray::TrayModifica(Campo campo, const QVariant &valore)
{
    switch (campo) {
    case Campo::Tooltip:
        m_tooltip = valore.toString();
        if (m_icona) {
            m_icona->setToolTip(m_tooltip);
        }
        break;
    case Campo::Icona:
        if (m_icona) {
            m_icona->setIcon(valore.value<QIcon>());
        }
        break;
    case Campo::Fumetto: {
        const QString nuovo = valore.toString();
        const bool cambiato = nuovo != m_fumetto;
        m_fumetto = nuovo;
        // A balloon is shown once per text; clearing it just lets it expire.
        if (cambiato) {
            mostraFumetto();
        }
        break;
    }
    }
}

void modTray::mostraFumetto()
{
    if (m_icona && !m_fumetto.isEmpty()) {
        m_icona->showMessage(m_titolo, m_fumetto, QSystemTrayIcon::Information);
    }
}

void modTray::TrayRimuovi()
{
    m_presente = false;
    if (m_icona) {
        m_icona->hide();
        delete m_icona;
    }
}

QList<QIcon> modTray::Fotogrammi()
{
    QList<QIcon> fotogrammi;
    constexpr int Numero = 17;
    constexpr int Lato = 32;
    for (int i = 0; i < Numero; ++i) {
        QPixmap pixmap(Lato, Lato);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(Lato / 2.0, Lato / 2.0);
        p.rotate(360.0 * i / Numero);

        // Two arrows chasing each other round a circle.
        const QRectF cerchio(-11, -11, 22, 22);
        for (int meta = 0; meta < 2; ++meta) {
            p.save();
            p.rotate(180.0 * meta);
            QPen tratto(meta == 0 ? QColor(0x1f, 0x6f, 0xb5) : QColor(0x2e, 0x9e, 0x4f), 4.0);
            tratto.setCapStyle(Qt::FlatCap);
            p.setPen(tratto);
            p.drawArc(cerchio, 20 * 16, 130 * 16);
            const qreal angolo = qDegreesToRadians(150.0);
            const QPointF punta(11 * qCos(angolo), -11 * qSin(angolo));
            QPainterPath freccia;
            freccia.moveTo(punta + QPointF(-5, -3));
            freccia.lineTo(punta + QPointF(5, -3));
            freccia.lineTo(punta + QPointF(-1, 6));
            freccia.closeSubpath();
            p.setPen(Qt::NoPen);
            p.setBrush(tratto.color());
            p.drawPath(freccia);
            p.restore();
        }
        p.end();
        fotogrammi << QIcon(pixmap);
    }
    return fotogrammi;
}
