#pragma once

// File names are bytes, not text; the tables, the run record and every message must stay valid
// UTF-8 whatever the names hold, and must not carry control characters to a terminal. Bytes
// that form valid UTF-8 are kept; every byte that does not, and every control character (C0,
// DEL, C1), is written as \xHH: a Latin-1 name "Z\xE4hne.png" reads "Z\xE4hne.png" and not
// "Zähne.png", which a UTF-8 name of its own may be; an escape sequence reads "\x1B[31m". The
// text of a name that is already such text is the same text.

#include <string>
#include <string_view>

namespace quendra {

std::string utf8Text(std::string_view bytes);

}  // namespace quendra
