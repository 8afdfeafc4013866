#include "ui/FormAbout.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

TAboutForm* AboutForm = nullptr;

namespace {

// The logo: a processor chip, drawn rather than shipped.
QPixmap Logo() {
    QPixmap pixmap(110, 120);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(160, 160, 160), 3));
    for (int i = 0; i < 7; ++i) {
        const int y = 22 + i * 12;
        p.drawLine(8, y, 22, y);
        p.drawLine(88, y, 102, y);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 48));
    p.drawRoundedRect(QRect(20, 10, 70, 100), 6, 6);
    p.setBrush(QColor(90, 90, 100));
    p.drawEllipse(QPoint(32, 22), 4, 4);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(22);
    p.setFont(font);
    p.setPen(QColor(0, 220, 0));
    p.drawText(QRect(20, 10, 70, 100), Qt::AlignCenter, "Z80");
    return pixmap;
}

} // namespace

TAboutForm::TAboutForm() {
    AboutForm = this;
    setObjectName("AboutForm");
    setWindowTitle("About the Software");

    ImgLogo = new QLabel(this);
    ImgLogo->setObjectName("ImgLogo");
    ImgLogo->setPixmap(Logo());
    ImgLogo->setFixedSize(110, 120);
    ImgLogo->setScaledContents(true);

    QFont bold = font();
    bold.setBold(true);
    LblProdName = new QLabel("Vexa Z80 Board Emulator", this);
    LblProdName->setObjectName("LblProdName");
    LblProdName->setAlignment(Qt::AlignCenter);
    LblProdName->setFont(bold);
    LblProdVer = new QLabel(this);
    LblProdVer->setObjectName("LblProdVer");
    LblProdVer->setAlignment(Qt::AlignCenter);
    LblProdVer->setFont(bold);

    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("BtnOK");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->addStretch(1);
    text->addWidget(LblProdName);
    text->addWidget(LblProdVer);
    text->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(ImgLogo);
    top->addLayout(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(rule);
    layout->addLayout(buttons);
    setFixedSize(QSize(340, 200).expandedTo(sizeHint()));
}

TAboutForm::~TAboutForm() {
    if (AboutForm == this) AboutForm = nullptr;
}

void TAboutForm::showEvent(QShowEvent* event) {
    DoShow();
    QDialog::showEvent(event);
}

void TAboutForm::DoShow() { LblProdVer->setText("Version 1.0 for Win32"); }
