// Engine nodes in Qt signals: Node is opaque to the application, so Qt's meta-type system
// is told it is a pointer to an incomplete type. Include this (once per program is enough,
// it is guarded) before declaring signals with Node* or std::vector<Node*> arguments.
#pragma once

#include <QMetaType>

class Node;
Q_DECLARE_OPAQUE_POINTER(Node*)
