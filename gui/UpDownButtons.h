#pragma once
// Up-down buttons bound to an edit: each click reads the edit's number, steps it by one within
// the range (no wrap-around) and writes it back as plain digits, which raises the edit's own
// change handling like typing does. Text that is not a number steps from the last position.

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace olvo {

class UpDownButtons final : public QWidget {
  public:
    UpDownButtons(QLineEdit* buddy, int minimum, int maximum, QWidget* parent);

    int Position() const { return m_position; }
    void SetPosition(int position);
    // One step up (+1) or down (-1), as a click of the upper or lower button.
    void Step(int direction);

    QToolButton* UpButton() const { return m_up; }
    QToolButton* DownButton() const { return m_down; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    QLineEdit* m_buddy;
    QToolButton* m_up;
    QToolButton* m_down;
    int m_minimum;
    int m_maximum;
    int m_position;
};

}  // namespace olvo
