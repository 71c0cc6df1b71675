#include "adminpage.h"

#include "datawindow.h"
#include "eventdocument.h"
#include "externals.h"
#include "operatorinfo.h"
#include "pagehost.h"
#include "vantel.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

AdminPage::AdminPage(PageHost &host, QWidget *parent) : EventPage(host, parent, QStringLiteral("tabpage_admin"))
{
    QWidget *page = content();
    auto *p_help = pages::picture(page, "p_help", QStringLiteral("f1.bmp"));
    auto *st_help = new QLabel(QStringLiteral("F1 - Help"), page);
    st_help->setObjectName(QStringLiteral("st_help"));
    auto *ln_2 = pages::line(page, "ln_2");
    st_messages = new QLabel(QStringLiteral("events"), page);
    st_messages->setObjectName(QStringLiteral("st_messages"));
    QFont big = st_messages->font();
    big.setFamilies({QStringLiteral("Broadway BT"), QStringLiteral("DejaVu Serif")});
    big.setPointSize(18);
    big.setBold(true);
    st_messages->setFont(big);
    st_messages->setStyleSheet(QStringLiteral("color: rgb(176,32,48);"));
    st_messages->setAlignment(Qt::AlignCenter);
    auto *r_1 = new QFrame(page);
    r_1->setObjectName(QStringLiteral("r_1"));
    r_1->setFrameShape(QFrame::StyledPanel);
    r_1->setStyleSheet(QStringLiteral("#r_1 { background: rgb(255,238,238); border: 1px solid rgb(220,150,150); "
                                      "border-radius: 6px; }"));
    auto *p_right = pages::picture(page, "p_right", QStringLiteral("l.gif"));
    auto *pb_browse =
        pages::button(page, "pb_browse", QStringLiteral("Browse"), "BROWSE.jpg", "BROWSE.jpg", "BROWSE.jpg");
    auto *st_tm = new QLabel(QStringLiteral("TM"), page);
    st_tm->setObjectName(QStringLiteral("st_tm"));
    auto *st_2 = new QLabel(QStringLiteral("Version 1.0"), page);
    st_2->setObjectName(QStringLiteral("st_2"));
    auto *p_2 = pages::picture(page, "p_2", QStringLiteral("vantel.jpg"));
    dw_admin = makeView(QStringLiteral("dw_admin"), QStringLiteral("d_admin"), DataWindow::Kind::Form,
                        &host.document().admin());
    auto *gb_2 = new QGroupBox(QStringLiteral("Administration"), page);
    gb_2->setObjectName(QStringLiteral("gb_2"));
    auto *p_left = pages::picture(page, "p_left", QStringLiteral("left.gif"));
    auto *ln_1 = pages::line(page, "ln_1");

    // Banner: logo and version on the left, the rotating slogan in the middle.
    auto *brand = new QVBoxLayout;
    auto *logoRow = new QHBoxLayout;
    logoRow->addWidget(p_2);
    logoRow->addWidget(st_tm, 0, Qt::AlignTop);
    brand->addLayout(logoRow);
    brand->addWidget(st_2);
    auto *slogan = new QHBoxLayout(r_1);
    slogan->addWidget(p_left);
    slogan->addWidget(st_messages, 1);
    slogan->addWidget(p_right);
    auto *banner = new QHBoxLayout;
    banner->addLayout(brand);
    banner->addWidget(r_1, 1);
    auto *hint = new QHBoxLayout;
    hint->addStretch();
    hint->addWidget(p_help);
    hint->addWidget(st_help);

    auto *record = new QHBoxLayout(gb_2);
    record->addWidget(dw_admin, 1);
    auto *side = new QVBoxLayout;
    side->addSpacing(60);
    side->addWidget(pb_browse);
    side->addStretch();
    record->addLayout(side);

    auto *layout = new QVBoxLayout(page);
    layout->addLayout(banner);
    layout->addWidget(ln_2);
    layout->addWidget(gb_2, 1);
    layout->addWidget(ln_1);
    layout->addLayout(hint);

    pages::connectEditorBehaviour(host, dw_admin, QStringLiteral("admin.htm"));
    host.setHelpTopic(QStringLiteral("admin.htm"));
    connect(pb_browse, &QPushButton::clicked, this, &AdminPage::pb_browse_clicked);
}

void AdminPage::pb_browse_clicked()
{
    QString ls_folder(1024, QLatin1Char(' '));
    ext::GetInstallDirectory(ls_folder, 1024);
    ls_folder = vantel_startup::Trim(ls_folder);
    if (ls_folder.isEmpty())
        return;
    if (!ls_folder.endsWith(QLatin1Char('/')))
        ls_folder += QLatin1Char('/');
    host_.document().setField(EventDocument::Part::Admin, 1, QStringLiteral("file_directory"), ls_folder);
}

void AdminPage::showCaption(int n)
{
    static const QStringList captions = {
        QStringLiteral("Events"),   QStringLiteral("Expos"),   QStringLiteral("Musicals"),
        QStringLiteral("Dramas"),   QStringLiteral("Sport"),   QStringLiteral("Art"),
        QStringLiteral("Bizarre"),  QStringLiteral("Markets"), QStringLiteral("What is happening in town today?"),
        vantel_operator::web_site};
    if (n >= 1 && n <= captions.size())
        st_messages->setText(captions[n - 1]);
}
