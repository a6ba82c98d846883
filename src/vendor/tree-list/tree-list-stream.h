#pragma once

// The binary stream of a tree list's nodes: the list's form data, its
// stream and file images, and the copy of one list's nodes into another.
// Integers are 32-bit little-endian; a stream begins with the marker -1
// and the top-level count, then one record per node in pre-order.

#include "tree-list-nodes.h"

#include "streams.h"

#include <cstdint>

// The first value of every stream written; a reader that finds a value of
// 0 or more there has an old stream, whose first value is the node count
// and whose text lengths are one byte.
constexpr int32_t kgxNodeStreamMarker = -1;
// The fixed part of a node record as written: image, selected and state
// indexes, the data value, the child count and the text count.
constexpr int32_t kgxNodeRecordSize = 24;

// One node and its subtree.
void WriteTreeListNode(TgxTreeListNode* ANode, TStream& AStream);
// Fills ANode from its record and adds and fills its children. A record
// that cannot be what a writer made (a fixed part under 24 bytes, negative
// counts, more bytes than the stream has left) raises EReadError, as a
// truncated stream does.
void ReadTreeListNode(TgxTreeListNode* ANode, TStream& AStream, int32_t AStreamVersion);

// The marker, the top-level count, then every top-level node.
void WriteTreeListNodes(TgxTreeListNodeOwner& AOwner, TStream& AStream);
// Reads the header and adds the nodes to the top level (the caller clears
// the list first); AStreamVersion takes the stream's version (0 for an old
// stream) before any node is read. Nodes read before an error stay in the
// list.
void ReadTreeListNodes(TgxTreeListNodeOwner& AOwner, TStream& AStream, int32_t& AStreamVersion);
