// The output styles of UNLOAD, one entry each: the OUTPUT_STYLE word, the
// extension of its data files, the makers of its output format and of its
// row writers, and how TO names and the dictionary bear on it. Everything
// that names or chooses a style goes through this table; a new style is one
// more entry.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

namespace bex {

struct BlockContext;
struct UnloadJob;
struct UnloadOptions;
struct OutputEnv;
struct LobFile;
class Sink;
class OutputFormat;
class RowWriter;

// The output of one UNLOAD in this style.
using OutputFormatMaker = std::unique_ptr<OutputFormat> (*)(const OutputEnv& env, UnloadJob& job,
                                                            const UnloadOptions& opts);
// A writer of rows in this style into the given sinks: the main walk's, or
// one worker's of a parallel walk.
using RowWriterMaker = std::unique_ptr<RowWriter> (*)(BlockContext& bc, UnloadJob& job, Sink& data, LobFile& lob,
                                                      Sink& console, bool rowAddress);
// Whether the LOB references of an unload of job, its LOB values going to
// lob, reach the data file as they are written (not held in a field that
// is framed later): a parallel walk can write them again with the LOB
// file's offsets.
using LobReferencesInPlace = bool (*)(const LobFile& lob, const UnloadJob& job);

struct OutputStyleSpec {
  const char* name;       // the OUTPUT_STYLE word
  const char* extension;  // of its data files, as the UNLOAD lines of LIST name them
  OutputFormatMaker makeFormat;
  RowWriterMaker makeRowWriter;
  bool needsDictionary;  // UNLOAD OBJECT writes the default style instead
  bool namedByTo;        // a TO name ending in "." and the extension chooses it
  bool onlyNamedByTo;    // a TO name with another extension writes the default style instead
  bool loadsIntoPostgres;  // LOAD SCRIPT loads its data files
  // Always in text and dump style; in CSV style when no reference can need
  // the quotes.
  LobReferencesInPlace lobReferencesInPlace;
};

// Every style, in the order OUTPUT_STYLE lists them; the first is the default.
std::span<const OutputStyleSpec> outputStyles();
inline const OutputStyleSpec* defaultOutputStyle() { return outputStyles().data(); }
// The style an OUTPUT_STYLE word names (keywords match as SET matches
// them); null for none.
const OutputStyleSpec* findOutputStyle(std::string_view word);
// The style a TO name chooses by its extension (any case, the name longer
// than the extension and its "."); null for none.
const OutputStyleSpec* styleOfName(std::string_view name);
// The style words joined by between: "TXT | DMP | CSV".
void listOutputStyles(Sink& out, const char* between);

}  // namespace bex
