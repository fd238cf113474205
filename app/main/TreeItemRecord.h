// The record behind each item of the main window's tree: what the item stands for and where its
// bytes are. The item's position says nothing: "TAVERN.HMI" is left out of the songs, so only the
// record index names a song.
#pragma once

#include <QString>
#include <cstdint>

class QTreeWidgetItem;

namespace sv {

enum class TreeItemKind : std::int32_t {
    None = 0,
    Folder = 2, // "Effects" or "Songs"
    Effect = 3,
    Song = 4,
};

struct TreeItemRecord {
    TreeItemKind kind = TreeItemKind::None;
    QTreeWidgetItem* item = nullptr;
    QTreeWidgetItem* parent = nullptr; // none for the two root items
    QString text;
    std::int32_t index = 0; // record index in its archive; 0 for the root items
};

} // namespace sv
