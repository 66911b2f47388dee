#include "gui/UpDownButtons.h"

#include <QLineEdit>
#include <QToolButton>
#include <algorithm>

namespace olvo {

UpDownButtons::UpDownButtons(QLineEdit* buddy, int minimum, int maximum, QWidget* parent)
    : QWidget(parent),
      m_buddy(buddy),
      m_up(new QToolButton(this)),
      m_down(new QToolButton(this)),
      m_minimum(minimum),
      m_maximum(maximum),
      m_position(minimum) {
    for (QToolButton* button : {m_up, m_down}) {
        button->setArrowType(button == m_up ? Qt::UpArrow : Qt::DownArrow);
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setCursor(Qt::PointingHandCursor);
    }
    connect(m_up, &QToolButton::clicked, this, [this] { Step(+1); });
    connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
}

void UpDownButtons::SetPosition(int position) {
    m_position = std::clamp(position, m_minimum, m_maximum);
}

void UpDownButtons::Step(int direction) {
    bool isNumber = false;
    const int shown = m_buddy->text().toInt(&isNumber);
    const int from = isNumber ? std::clamp(shown, m_minimum, m_maximum) : m_position;
    SetPosition(from + direction);
    m_buddy->setText(QString::number(m_position));
}

void UpDownButtons::resizeEvent(QResizeEvent*) {
    const int half = height() / 2;
    m_up->setGeometry(0, 0, width(), half);
    m_down->setGeometry(0, half, width(), height() - half);
}

}  // namespace olvo
