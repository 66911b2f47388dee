#include "ui/FormParts.h"

#include <QCheckBox>
#include <QDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "ui/QtText.h"

namespace olvo {

void UseFormFont(QWidget* window) {
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma")))
        window->setFont(QFont(QStringLiteral("Tahoma"), 8));
}

void SetUpFixedDialog(QDialog* dialog, int width, int height) {
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    UseFormFont(dialog);
    dialog->setFixedSize(width, height);
}

void SetUpClickables(QWidget* root) {
    for (QPushButton* button : root->findChildren<QPushButton*>()) {
        button->setAutoDefault(true);
        button->setCursor(Qt::PointingHandCursor);
    }
    for (QCheckBox* box : root->findChildren<QCheckBox*>()) box->setCursor(Qt::PointingHandCursor);
}

void MakeDisplayOnly(QLineEdit* field) {
    field->setReadOnly(true);
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    field->setPalette(palette);
}

void StyleAsLink(QLabel* label) {
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    label->setPalette(palette);
    label->setCursor(Qt::PointingHandCursor);
}

void CentreOnScreen(QWidget* window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

void SetText(QLineEdit* edit, const std::string& path) {
    const QString value = ToQPath(path);
    if (edit->text() != value) edit->setText(value);
}

std::string Text(const QLineEdit* edit) {
    return FromQPath(edit->text());
}

}  // namespace olvo
