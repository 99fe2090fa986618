#pragma once

#include <string_view>

namespace quorvex {

/// Writes every byte of `bytes` to the stream socket `fd`, going on after partial writes and
/// after a signal interrupted the call. False when the socket fails or the peer is gone; a peer
/// that closed never raises SIGPIPE. Blocks as the socket does.
bool sendAll(int fd, std::string_view bytes);

} // namespace quorvex
