#include "CViewList.h"

#include <QHeaderView>

#include "app/Program.h"
#include "lobby/GameListAppearance.h"
#include "platform/Text.h"

namespace khub::gui {

CViewList::CViewList(Program& program, QWidget* parent)
    : CListView(program.games, parent), program_(program) {}

void CViewList::OnInitialUpdate() {
    ApplyAppearance();
    setSelectionMode(QAbstractItemView::SingleSelection);
    SetColumns();
}

void CViewList::SetColumns() {
    Model()->SetHeaders(
        {QStringLiteral("Game Name"), QStringLiteral("Host"), QStringLiteral("Players")});
    for (int column = 0; column < 3; ++column) setColumnWidth(column, kColumnWidth);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void CViewList::ApplyAppearance() {
    const GameListAppearance look = ReadGameListAppearance(program_.Settings());
    QPalette p = palette();
    if (look.background == GameListAppearance::Background::Color && look.backgroundColor) {
        const Rgb c = *look.backgroundColor;
        p.setColor(QPalette::Base, QColor(c.r, c.g, c.b));
    } else if (look.background == GameListAppearance::Background::Image) {
        // A picture that does not load leaves the list as it was, without a word.
        const QPixmap image(ToQt(look.backgroundImage));
        if (!image.isNull()) p.setBrush(QPalette::Base, QBrush(image));
    }
    if (look.textColor) {
        const Rgb c = *look.textColor;
        p.setColor(QPalette::Text, QColor(c.r, c.g, c.b));
    }
    setPalette(p);
}

void CViewList::SetBackgroundImage(const QPixmap& image) {
    if (image.isNull()) return;
    QPalette p = palette();
    p.setBrush(QPalette::Base, QBrush(image));
    setPalette(p);
}

}  // namespace khub::gui
