#pragma once
// The line editor: quantity and note of the order line on which CurrentOrder's cursor
// stands. Opened modally from the catalogue (a line just added) and from the basket.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// Reads a quantity as the operator types it: blanks around it ignored, a decimal point
// or a decimal comma, no group separators, whatever the operator's locale. False when
// the text is not a finite number.
bool parseQuantity(const QString& text, double* out);

class frmEd : public QDialog {
    Q_OBJECT
public:
    // Loads the current line's quantity and note.
    explicit frmEd(QWidget* parent = nullptr);

    // True when the line was just added, so that "Отмена" takes it out again.
    bool onAdd = false;

    QLabel* Label11;
    QLineEdit* qty;
    QLabel* Label8;
    QLineEdit* prim;
    QPushButton* Command1;  // "ОК"
    QPushButton* Command2;  // "Отмена"

    void Command1_Click();
    void Command2_Click();

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void Form_Load();
};
