// The argument list of a process message as it crosses from the render side to the browser
// side: a GVariant of type "av", one boxed value per entry.
//
// Entry encodings: null "()", bool "b", int "i", double "d", string "aq" (the UTF-16 units
// as they stand, so that embedded NULs and lone surrogates survive the crossing).
#pragma once

#include <glib.h>

#include "cef/cef_values.h"

// A floating reference: hand it to a call that sinks it (webkit_user_message_new) or sink it.
GVariant* ListValueToVariant(const CefListValue& list);

// Sets the entries of list from index 0 on. A null variant or one of another type sets none;
// an entry of an unknown type becomes a null entry, so that the indices of the others are kept.
void ListValueFromVariant(GVariant* variant, CefListValue& list);
// The same into a new list.
CefRefPtr<CefListValue> ListValueFromVariant(GVariant* variant);
