#pragma once
// The synchronisation window: ten check boxes, one per reference table, and the button
// "Обновить" that builds the local database from the central one.

#include <QWidget>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace store {
class Connection;
}

class Form1 : public QWidget {
    Q_OBJECT
public:
    // `cn` is the connection every statement goes through (Cn); not owned.
    explicit Form1(store::Connection& cn, QWidget* parent = nullptr);
    ~Form1() override;

    // The boxes in the order the tables are processed; Check1 is "Типы".
    QCheckBox* box(int i) const;  // 1..10
    QPushButton* updateButton() const { return Command1; }
    bool isRunning() const { return running_; }

public slots:
    // "Обновить": runs the whole synchronisation before the window takes input again.
    void Command1_Click();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void setBusy(bool busy);

    store::Connection& cn_;
    QCheckBox* Check1;
    QCheckBox* Check2;
    QCheckBox* Check3;
    QCheckBox* Check4;
    QCheckBox* Check5;
    QCheckBox* Check6;
    QCheckBox* Check7;
    QCheckBox* Check8;
    QCheckBox* Check9;
    QCheckBox* Check10;
    QPushButton* Command1;
    QProgressBar* progress_;
    QLabel* status_;
    bool running_ = false;
};
