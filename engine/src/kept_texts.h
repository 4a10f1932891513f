// Long texts on their way to a page function. Inside the invoking script a text of megabytes is
// a string literal the page must compile, and the whole script crosses to the page on the UI
// thread; kept here instead, the page takes it with an asynchronous request to
// this://app/$engine/text?id=<id> while the call runs. Entries live only as long as the call
// that made them: taken once, or dropped when the call ends, however it ends.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace engine {

// Path of the text requests, beside the calls': a page item can never be named like this.
inline constexpr char kTextPath[] = "/$engine/text";
// Where a page says that a function with kept texts has run (?token=<token>).
inline constexpr char kAnswerPath[] = "/$engine/answer";
// Below this a text stays in the script: a request costs more than the literal saves.
inline constexpr std::size_t kKeptTextMinChars = 32 * 1024;
// All texts kept at once; past it a text goes inside the script as before.
inline constexpr std::size_t kKeptTextsMaxBytes = 256 * 1024 * 1024;

namespace kept_texts {

// Whether `text` can be kept: long enough, and UTF-8 can carry it (no lone surrogates, which
// the script's JSON escapes but a text answer would turn into U+FFFD).
bool worthKeeping(const std::u16string& text);

// Keeps `text` and returns its id (random and unguessable); empty when the store is full.
QString keep(const std::u16string& text);

// The UTF-8 text of `id`, removed from the store; nothing when unknown, taken or dropped.
std::optional<QByteArray> take(const QString& id);

// Forgets the ids of a call that ended; ids already taken are ignored.
void drop(const std::vector<QString>& ids);

// A random, unguessable id (also names a call whose page answers later).
QString newToken();

}  // namespace kept_texts

}  // namespace engine
