#pragma once
// The commands of the designer's pop-up menus that change the document: add a
// box at a point, duplicate, delete the selection or every box, send a box to
// the back, clear the background picture, and set, clear or save a picture
// box's picture. Questions and file choosers go through the Prompter.

#include "model/box.h"

#include <string>

namespace ordavel {

class Document;
class Prompter;
class WorkArea;

// Filter of both picture choosers (open and save).
inline constexpr const char* kPictureFilter =
    "所有图片文件(不能打开.png文件)|*.bmp;*.jpg;*.jpeg;*.jpe;*.gif|所有文件(*.*)|*.*";

// The file name proposed for saving the picture of box `index`: "image" +
// index + "." + the picture's extension ("image3.jpg"; "image3." when the type
// is not recognised).
std::string proposedPictureName(int index, const std::string& pictureBytes);

class BoxCommands {
public:
    // None of the three is owned; all must outlive the commands.
    BoxCommands(Document& doc, Prompter& prompter, WorkArea& area);

    // A box of `type` in the first free slot, at (left, top), 80 x 28 px; it
    // becomes current and the only selected box. Returns its index.
    int addBox(BoxType type, int left, int top);
    // Copy of the current box 10 px right and down; returns the new index, 0
    // when there is no current box.
    int duplicate();
    // Deletes the selected boxes in Selection order, asking first when more
    // than one is selected. False when the user said No (nothing deleted).
    bool deleteSelected();
    // Asks, then deletes every box in slot order. False when not confirmed.
    bool deleteAll();
    // Puts the current box's control behind every other child of the workbench.
    void sendToBack();
    // Drops the background picture and its temporary copy; modified.
    void clearBackground();
    // Open chooser; the chosen file's bytes become the current picture box's
    // picture and its path the box's picturePath. False when cancelled or when
    // the file cannot be read: "读取图片文件失败，请重试。\r\n（" + path + "）"
    // (caption "设置图片", stop icon), and the box keeps its picture.
    bool setPicture();
    // Empties the current picture box's picture and picturePath; modified.
    void clearPicture();
    // Save chooser proposing proposedPictureName; writes the picture bytes
    // unchanged. False when cancelled, when the box has no picture or when the
    // file could not be written: "创建文件失败，请重试。\r\n（" + path + "）"
    // (caption "图片另存为", stop icon), and an existing file is left as it was.
    bool savePictureAs();

private:
    // The current box when it is a live picture box, else nullptr.
    Box* currentPictureBox();

    Document& m_doc;
    Prompter& m_prompter;
    WorkArea& m_area;
};

} // namespace ordavel
