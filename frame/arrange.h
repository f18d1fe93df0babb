#pragma once
// Window > Arrange Icons: the minimised children in rows along the bottom of
// the MDI area, left to right; the other children stay where they are.
class QMdiArea;

void Korl_ArrangeMinimizedChildren(QMdiArea* area);
