#pragma once

#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

class QSystemTrayIcon;

// The notification-area icon of Sync: icon, tooltip and balloon. Where the desktop has no tray
// (or there is no desktop at all) the state is kept and nothing is shown.
class modTray : public QObject
{
    Q_OBJECT

public:
    enum class Campo
    {
        Tooltip = 0,
        Icona = 1,
        Fumetto = 2
    };

    explicit modTray(QObject *parent = nullptr);
    ~modTray() override;

    void TrayAggiungi(const QIcon &icona, const QString &tooltip, const QString &fumetto, const QString &titolo);
    void TrayModifica(Campo campo, const QVariant &valore);
    void TrayRimuovi();

    bool presente() const { return m_presente; }
    QString tooltip() const { return m_tooltip; }
    QString fumetto() const { return m_fumetto; }
    QString titolo() const { return m_titolo; }

    // The 17 frames of the turning-arrow animation.
    static QList<QIcon> Fotogrammi();

Q_SIGNALS:
    // A left click on the icon, or a click on its balloon.
    void cliccato();

private:
    void mostraFumetto();

    QPointer<QSystemTrayIcon> m_icona;
    bool m_presente = false;
    QString m_tooltip;
    QString m_fumetto;
    QString m_titolo;
};
