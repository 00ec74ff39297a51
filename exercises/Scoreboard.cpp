#include "exercises/Scoreboard.h"

#include "core/Modulo1.h"
#include "ui/Button.h"
#include "ui/ClickLabel.h"
#include "ui/Design.h"

#include <QIcon>

namespace {

QPushButton *trafficLight(QWidget *form, const char *name, const QString &icon, QPoint at)
{
    auto *button = new QPushButton(form);
    button->setObjectName(QLatin1String(name));
    button->setIcon(QIcon(icon));
    button->setIconSize(QSize(32, 32));
    place(button, at.x(), at.y(), 65, 65);
    return button;
}

} // namespace

QString answerForm(int count) { return QLatin1Char(' ') + QString::number(count); }

qint16 countedOnce(qint16 count)
{
    // A long session must not end the program: the count stops at its highest value.
    return count < Modulo1::MaxCount ? qint16(count + 1) : count;
}

Scoreboard::Scoreboard(Modulo1 &module, QWidget *form, Places places) : m(module)
{
    const auto makeLabel = [form](const char *name, const QString &text, int left, int top,
                                  int width) {
        auto *label = new ClickLabel(text, form);
        label->setObjectName(QLatin1String(name));
        label->setFont(arialFont(15.75, true));
        place(label, left, top, width, 33);
        return label;
    };
    Label2 = makeLabel("Label2", QStringLiteral("ESATTI"), 40, 16, 81);
    EtichettaEsatti = makeLabel("EtichettaEsatti", QStringLiteral("0"), 144, 16, 57);
    Label3 = makeLabel("Label3", QStringLiteral("ERRATI"), 40, 64, 81);
    EtichettaErrati = makeLabel("EtichettaErrati", QStringLiteral("0"), 144, 64, 57);

    cmdAzzera = new Button(QStringLiteral("AzzeraPunteggio"), form);
    cmdAzzera->setObjectName(QStringLiteral("cmdAzzera"));
    cmdAzzera->setFont(arialFont(12, true));
    place(cmdAzzera, places.cmdAzzera.x(), places.cmdAzzera.y(), 153, 49);
    QObject::connect(cmdAzzera, &QPushButton::clicked, form, [this] { resetStep(); });

    // Both lights share one rectangle and both show when an exercise opens; the green one lies
    // on top then, so a child first sees the encouraging light. Clicking them does nothing.
    IconaNo = trafficLight(form, "IconaNo", QStringLiteral(":/icona_no.xpm"), places.icons);
    IconaSi = trafficLight(form, "IconaSi", QStringLiteral(":/icona_si.xpm"), places.icons);

    // Without the score, the counts are still kept (a return to the menu zeroes them as usual),
    // but nothing of them shows, the reset included.
    if (!m.settings.punteggio)
        for (QWidget *c : std::initializer_list<QWidget *>{
                 Label2, EtichettaEsatti, Label3, EtichettaErrati, cmdAzzera, IconaNo, IconaSi})
            c->hide();
}

void Scoreboard::zeroCounts()
{
    m.Esatti = 0;
    m.Errati = 0;
    EtichettaEsatti->setText(QStringLiteral("0"));
    EtichettaErrati->setText(QStringLiteral("0"));
}

void Scoreboard::loadStep() { zeroCounts(); }

void Scoreboard::resetStep()
{
    zeroCounts();
    m.beep();
    m.beep();
}

void Scoreboard::rightAnswerStep()
{
    if (m.settings.punteggio) {
        IconaSi->setVisible(true);
        IconaNo->setVisible(false);
    }
    m.Esatti = countedOnce(m.Esatti);
    EtichettaEsatti->setText(answerForm(m.Esatti));
    m.beep();
}

void Scoreboard::wrongAnswerStep()
{
    if (m.settings.punteggio) {
        IconaSi->setVisible(false);
        IconaNo->setVisible(true);
    }
    m.Errati = countedOnce(m.Errati);
    EtichettaErrati->setText(answerForm(m.Errati));
    m.beep();
}
