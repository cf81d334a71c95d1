#pragma once

#include <string>
#include <string_view>

namespace nimbro {

// Double-quoted text with escapes, byte for byte as %q renders it: printable
// characters stay, \a \b \f \n \r \t \v and \" \\ are escaped, other control
// bytes and bytes that are not valid UTF-8 become \xhh, other non-printable
// characters \uhhhh or \Uhhhhhhhh. Appended to out.
void appendQuoted(std::string& out, std::string_view s);

}  // namespace nimbro
