#pragma once

#include <QString>

namespace vantrel {

// Gives a control its name: the one its handlers and the tests know it by.
template <class W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace vantrel
