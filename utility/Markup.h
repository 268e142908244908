#pragma once

#include <memory>
#include <string>

#include "utility/UtilityApi.h"

class CMarkupStream;

namespace pugi {
class xml_document;
class xml_node_struct;
}  // namespace pugi

// CMarkup: the XML document through which every file of the system is read and written.
//
// Position model. A document has a main position (an element or none), the main position's
// parent (the document itself at the top level) and a child position (a child element of the
// main position, or none).
// - FindElem(tag) moves the main position forward to the next element of the current level
//   after the main position (the first one when there is none) whose tag matches, any tag when
//   `tag` is null or empty, and clears the child position. FindChildElem does the same for the
//   child position under the main position. Both return false without moving when nothing
//   matches further on, so elements looked for one after another must stand in that order.
// - IntoElem makes the child position the main position and the old main position the
//   parent; OutOfElem makes the parent the main position and the old main position the child.
// - AddElem places a new element right after the main position (at the end of the level when
//   there is none) and makes it the main position; InsertElem places it right before (at the
//   start of the level when there is none). AddChildElem / InsertChildElem do the same for the
//   child position under the main position.
//
// Texts are bytes. Any byte 1-255 in element data or attribute values reads back exactly as it
// was written: markup characters, quotes, tabs, CR/LF and bytes 0x80-0xFF included. Missing
// data or attributes read as empty text.
class LOGVANE_UTILITY_API CMarkup {
public:
    // Node kinds for AddNode.
    enum NodeType {
        MNT_ELEMENT = 1,
        MNT_TEXT = 2,
        MNT_CDATA_SECTION = 8,
        MNT_PROCESSING_INSTRUCTION = 16,
        MNT_COMMENT = 32,
        MNT_DOCUMENT_TYPE = 64,
    };

    CMarkup();
    explicit CMarkup(const char* doc);
    // Copies hold the same document with their positions reset.
    CMarkup(const CMarkup& other);
    CMarkup& operator=(const CMarkup& other);
    ~CMarkup();

    // Replaces the document by the parsed text; null or empty gives an empty document.
    // Returns false (and leaves an empty document) when the text is not well-formed.
    bool SetDoc(const char* doc);
    bool SetDoc(const std::string& doc) { return SetDoc(doc.c_str()); }
    // The document as text, with the XML declaration, indented one element a line.
    std::string GetDoc() const;

    // Loads a file; false with GetError set when it cannot be read or is not well-formed.
    bool Load(const char* path);
    // Writes the document to a temporary file beside `path` and renames it over `path`, so
    // readers see the old file or the new one, never half a file. False when that fails; the
    // old file is then untouched. The new file keeps the old file's permissions, or gets the
    // usual ones for a new file; with `ownerOnly` (files holding passwords) it is 0600.
    bool Save(const char* path, bool ownerOnly = false) const;
    bool Load(const std::string& path) { return Load(path.c_str()); }
    bool Save(const std::string& path, bool ownerOnly = false) const {
        return Save(path.c_str(), ownerOnly);
    }

    // Stream mode, for writers of very large documents (report files) that only ever append:
    // AddElem and AddChildElem, attributes and data set on an element before anything is added
    // inside or after it, IntoElem and OutOfElem. Once something is added after an element,
    // that element is written to the file and leaves the document, so memory holds only the
    // open path. The bytes written equal those of Save for the same calls. Operations that
    // would change what is already written (inserting, attributes or data of a written start
    // tag, sub-documents, Save) return false. StartStream empties the document and opens a
    // temporary file beside `path`; EndStream writes the rest and renames the file over
    // `path`, returning false (target untouched) when anything failed.
    bool StartStream(const char* path, bool ownerOnly = false);
    bool EndStream();
    // Stream mode, for writers that print a large element's content themselves: writes what
    // the main element holds so far, then `size` bytes of `text` exactly as given, inside the
    // main element (its start tag, and after the last call its end tag, are printed as usual).
    // The text must be complete elements, each line indented by one tab per level below the
    // root element (GetMainDepth() + 1 tabs for a child of the main element). False, writing
    // nothing, outside stream mode or without a main position; the caller then adds the
    // elements one by one.
    bool WriteRawContent(const char* text, size_t size);
    // Levels above the main element: 0 for the root element (or without a main position).
    int GetMainDepth() const;

    // Why the last SetDoc, Load or Save failed; empty after a success.
    const std::string& GetError() const { return m_error; }

    bool FindElem(const char* tag = nullptr);
    bool FindChildElem(const char* tag = nullptr);
    bool IntoElem();
    bool OutOfElem();
    void ResetPos();
    void ResetMainPos();
    void ResetChildPos();

    std::string GetTagName() const;
    std::string GetChildTagName() const;
    // Name of the attribute at `index` of the main element; empty past the last.
    std::string GetAttribName(int index) const;
    std::string GetData() const;
    std::string GetChildData() const;
    std::string GetAttrib(const char* name) const;
    std::string GetChildAttrib(const char* name) const;

    bool AddElem(const char* tag, const char* data = nullptr);
    bool AddElem(const char* tag, int data);
    bool InsertElem(const char* tag, const char* data = nullptr);
    bool AddChildElem(const char* tag, const char* data = nullptr);
    bool AddChildElem(const char* tag, int data);
    bool InsertChildElem(const char* tag, const char* data = nullptr);

    bool SetAttrib(const char* name, const char* value);
    bool SetAttrib(const char* name, int value);
    bool SetChildAttrib(const char* name, const char* value);
    bool SetChildAttrib(const char* name, int value);
    bool RemoveAttrib(const char* name);
    // Replaces the element's content by the text (as CDATA when `cdata` is set). False when
    // there is no main (child) position or the element has child elements.
    bool SetData(const char* data, int cdata = 0);
    bool SetChildData(const char* data, int cdata = 0);

    // Parses `subdoc` and adds its root element after the main position, as AddElem does.
    bool AddSubDoc(const char* subdoc);
    // The main element with everything inside it, as text; empty when there is no main
    // position.
    std::string GetSubDoc() const;
    // Adds a node that is not an element (text, comment, processing instruction, ...) after the
    // main position. The main position stays where it is.
    bool AddNode(int nodeType, const char* text);

    // The std::string forms of the operations that take a name or text.
    bool FindElem(const std::string& tag) { return FindElem(tag.c_str()); }
    bool FindChildElem(const std::string& tag) { return FindChildElem(tag.c_str()); }
    std::string GetAttrib(const std::string& name) const { return GetAttrib(name.c_str()); }
    std::string GetChildAttrib(const std::string& name) const {
        return GetChildAttrib(name.c_str());
    }
    bool AddElem(const char* tag, const std::string& data) { return AddElem(tag, data.c_str()); }
    bool AddChildElem(const char* tag, const std::string& data) {
        return AddChildElem(tag, data.c_str());
    }
    bool SetAttrib(const char* name, const std::string& value) {
        return SetAttrib(name, value.c_str());
    }
    bool SetChildAttrib(const char* name, const std::string& value) {
        return SetChildAttrib(name, value.c_str());
    }
    bool SetData(const std::string& data, int cdata = 0) { return SetData(data.c_str(), cdata); }
    bool SetChildData(const std::string& data, int cdata = 0) {
        return SetChildData(data.c_str(), cdata);
    }

private:
    using Node = pugi::xml_node_struct*;

    // Parses `text`; when `owned` is set it is a buffer from pugixml's allocator holding the
    // same bytes, which the document takes over (freed even when parsing fails).
    bool Parse(const char* text, size_t length, void* owned);
    bool PlaceElem(const char* tag, const char* data, bool child, bool after);
    void Clear();

    bool IsWritten(Node node) const;

    std::unique_ptr<pugi::xml_document> m_doc;
    std::unique_ptr<CMarkupStream> m_stream;
    Node m_parent = nullptr;  // null means the document itself
    Node m_main = nullptr;
    Node m_child = nullptr;
    mutable std::string m_error;
};
