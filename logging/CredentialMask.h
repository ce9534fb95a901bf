// Shows a credential in logs and error texts without giving it away: the first and last four
// hexadecimal digits of its bytes, enough to tell which one was used.
//
//   MaskCredential(sign, 32)  ->  "3031...6566"
#pragma once

#include <cstddef>
#include <string>

namespace qlog {

// Four hexadecimal digits (two bytes) from each end of `bytes`, joined by "..."; "..." alone
// when there are fewer than eight bytes, whose ends would show most of the secret.
std::string MaskCredential(const unsigned char* bytes, std::size_t length);

}  // namespace qlog
