// Reads the common subset of RTF that word processors write into formatted text.
#pragma once

#include <string_view>

#include "KVL/UI/RichText.h"

namespace KVL::UI {

// Groups, font and colour tables, \b \i \ul \strike \fs \cf \highlight/\cb, \par \line
// \tab, paragraph alignment and indents, \'hh in the document's (or font's) code page, \uN
// with \ucN, HYPERLINK fields; unknown control words and destinations are skipped. Never
// raises: damaged input gives what was read up to the damage.
TKVLRichDocument ParseRTF(std::string_view data);

} // namespace KVL::UI
