// Typing limits of the edit boxes, counted in bytes of the GBK text as the identity code takes it.
#ifndef PELORIN_EDIT_LIMITS_H
#define PELORIN_EDIT_LIMITS_H

class QLineEdit;

// Typing or pasting stops where the text would exceed nMaxBytes GBK bytes; a text the window sets
// itself is shown whole. Each box keeps its first limit.
void LimitGbkBytes(QLineEdit* edit, int nMaxBytes);

#endif
