// The About dialog.
#pragma once

#include <QDialog>

class QLabel;
class TAboutForm;

extern TAboutForm* AboutForm;

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    TAboutForm();
    ~TAboutForm() override;

    QLabel* ImgLogo;
    QLabel* LblProdName;
    QLabel* LblProdVer;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void DoShow();
};
