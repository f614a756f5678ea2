#include "CAboutDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/MainCommands.h"
#include "app/Program.h"
#include "platform/Text.h"

namespace khub::gui {

CAboutDlg::CAboutDlg(Program& program, QWidget* owner) : CDialog(owner), program_(program) {
    setWindowTitle(QStringLiteral("About K-Hub I"));
    auto* column = new QVBoxLayout(this);
    for (const char* line : about::kLines) {
        auto* label = new QLabel(QString::fromLatin1(line));
        label->setAlignment(Qt::AlignHCenter);
        column->addWidget(label);
    }
    auto* rows = new QGridLayout;
    int row = 0;
    for (const int id : {about::kSite, about::kMirror, about::kForum, about::kEmulatorSite}) {
        const QString text = QString::fromLatin1(about::Label(id));
        // A small "open" button, as before, and the address itself as a link.
        auto* button = new QPushButton;
        button->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
        button->setFixedSize(22, 22);
        button->setAutoDefault(false);
        button->setAccessibleName(text);
        button->setToolTip(QStringLiteral("Open ") + text);
        auto* label = new QLabel(QStringLiteral("<a href=\"#\">%1</a>").arg(text.toHtmlEscaped()));
        label->setObjectName(QStringLiteral("link%1").arg(id));
        label->setTextFormat(Qt::RichText);
        label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        label->setCursor(Qt::PointingHandCursor);
        connect(label, &QLabel::linkActivated, this, [this, id] { OnCommand(id); });
        rows->addWidget(button, row, 0);
        rows->addWidget(label, row, 1);
        AddControl(id, button);
        ++row;
    }
    column->addLayout(rows);
    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setDefault(true);
    auto* okRow = new QHBoxLayout;
    okRow->addStretch();
    okRow->addWidget(ok);
    okRow->addStretch();
    column->addLayout(okRow);
    column->setSizeConstraint(QLayout::SetFixedSize);  // nothing in it grows
    AddControl(kIdOk, ok);
}

bool CAboutDlg::OnCommand(int id) {
    return about::OpenAddress(program_, id);
}

}  // namespace khub::gui
