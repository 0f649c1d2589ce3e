#pragma once
// The burner's one message channel: every part of the engine (transport, tables, image,
// pipeline) posts its lines through a poster of this type, which the burner component
// connects to PostDebugMessage.

#include <functional>
#include <string>

// Kinds of the message lines.
enum TBurnMessageKind { bmDriveError = 0, bmInformation = 1, bmTableLimit = 3, bmFileSystem = 4 };

using TMessagePoster = std::function<void(int kind, const std::string& text)>;
