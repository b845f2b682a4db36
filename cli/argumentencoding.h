#ifndef VANDREL_CLI_ARGUMENTENCODING_H
#define VANDREL_CLI_ARGUMENTENCODING_H

#include <QString>

#include <optional>

// A command-line argument that does not survive decoding into text names
// another file once encoded again: the decoded name holds look-alike
// characters (U+FFFD) in place of its bytes. Returns, for the first such
// argument after the program name, a message naming it by its bytes; nothing
// when every argument reads back as given. Windows hands arguments over as
// wide text, which always survives.
std::optional<QString> UndecodableArgument(int argc, const char *const *argv);

#endif
