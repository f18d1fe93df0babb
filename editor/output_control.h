#pragma once
// Korl_OutputControl: the Compile pane's control. The editing control in the
// "CompileOut" colouring without margins, read-only; only the navigation keys
// act, and Enter or a double-click report the line (lineActivated).

#include "editor/edit_control.h"

class Korl_OutputControl : public Korl_EditControl {
    Q_OBJECT
public:
    explicit Korl_OutputControl(QWidget* parent = nullptr);

Q_SIGNALS:
    void lineActivated(int line);

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void ConfigureAsOutputPane();
};
