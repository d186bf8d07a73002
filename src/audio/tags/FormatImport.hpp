#pragma once

namespace zd {

class TAPETags;

// Importers of the containers' own tags into the store, under the store's
// field names (called by ImportFormatTags by the file's extension). Each
// reads the store's file through its open stream. Throw only as
// TAPETags::SetField.
void ImportMP3Tags(TAPETags& tags);
void ImportMP4Tags(TAPETags& tags);
void ImportWAVTags(TAPETags& tags);
void ImportVorbisTags(TAPETags& tags); // Ogg Vorbis, Ogg Opus and FLAC
void ImportWMATags(TAPETags& tags);

} // namespace zd
