#pragma once

// The VHDL text reader: reads entities and architectures from VHDL source
// text into the object model of vhdl-model.h, logs what it finds into
// "VHDL Parser.log" in the temporary folder and reports the first error. It
// stands on the table-driven tokenizer (TStringsParser) with handlers of its
// own. The BSDL reader (bsdl-reader.h) derives from it.
//
// Plain C++: what the reader asks of its surroundings (the log's folder and
// files, the host's status bar, messages panel and text editor) goes through
// TVHDLReaderSurroundings, so the reader builds in every tree; the plug-in
// gives it the host's (vhdl-reader-host.h).

#include "tokenizer.h"
#include "vhdl-model.h"
#include "vhdl-object.h"

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

class TVHDLReaderSurroundings {
public:
  virtual ~TVHDLReaderSurroundings() = default;

  // The folder the log goes to, in its long form, ending in a path
  // delimiter.
  virtual std::wstring LogFolder();
  // A new, empty, uniquely named file ("Pro...") in the temporary folder
  // for the log to be written into; empty when none can be made.
  virtual std::wstring MakeTempLogFile();
  // Puts the written log in the place of the final one; the old final log
  // stays when that fails.
  virtual bool ReplaceLog(const std::wstring& ATempFile, const std::wstring& AFinalFile);
  // The host's status pane 3.
  virtual void ShowStatus(const std::wstring& AText) { (void)AText; }
  // The host's messages panel: a reading error with its position.
  virtual void PostError(const std::wstring& AMessage, const std::wstring& ADocumentPath) {
    (void)AMessage;
    (void)ADocumentPath;
  }
  // Brings the document to the front in the host's editor at the line and
  // column (both counted from 1) of an error.
  virtual void MoveEditorTo(const std::wstring& ADocumentPath, std::int32_t ALine,
                            std::int32_t AColumn) {
    (void)ADocumentPath;
    (void)ALine;
    (void)AColumn;
  }
};

// Entities by upper-case name. The caller owns the list, the list owns the
// entities.
using TVHDLEntities = TVHDLObjectList;

// The reserved word identifiers the grammar uses, by their text.
std::int32_t VHDLWordId(std::wstring_view AWord);

class TVHDLTextReader : public TStringsParser, public TVHDLParser {
public:
  // ASurroundings may be nullptr: the plain surroundings (the system's
  // temporary folder, no host) are used then. The reader does not own it.
  TVHDLTextReader(TVHDLEntities& AEntities, std::wstring ADocumentPath,
                  TVHDLReaderSurroundings* ASurroundings = nullptr);
  ~TVHDLTextReader() override;

  virtual std::wstring GetLogFileName() const { return L"VHDL Parser.log"; }
  // One pass over ALines: entities and architectures are read into the
  // entity list until the end of the text or the first error. The lines
  // must stay alive during the pass. Answers whether the pass went through
  // without an error. The objects read keep no link to the reader
  // afterwards.
  virtual bool Run(const std::vector<std::wstring>& ALines);
  void LogLine(const std::wstring& AText) override;
  // A new entity bound to this reader.
  virtual std::unique_ptr<TEntity> CreateEntity();

  // TVHDLParser: positions counted from 0.
  std::int32_t CurrentLine() const override { return LinePos(); }
  std::int32_t CurrentTokenColumn() const override { return TokenCharPos(); }

  // Reading primitives; each raises EVHDLParserError on a mismatch.
  void ExpectReservedWord(std::int32_t AWordId) override;
  std::wstring ExpectIdentifier() override;
  std::wstring ExpectIdentifierOrConstant() override;
  std::wstring ExpectExpression(std::int32_t ALimitWord1, std::int32_t ALimitWord2) override;
  std::wstring ExpectExpression(std::int32_t ALimitWord1, std::int32_t ALimitWord2,
                                std::int32_t ALimitWord3) override;
  std::int32_t PeekReservedWord() override;
  std::wstring PeekIdentifier() override;
  // The next token's word identifier, or -1; consumed.
  std::int32_t NextReservedWord();
  // The next token (comments and switched-off regions passed over): its
  // kind, and its text.
  std::int32_t PeekValidToken();
  std::wstring PeekValidTokenText();
  // Moves on until one of the two words is next; False at the end of the
  // text.
  bool SkipToReservedWords(std::int32_t AResWordID1, std::int32_t AResWordID2);

  const std::wstring& DocumentPath() const { return FDocumentPath; }
  const std::wstring& ErrorMessage() const { return FErrorMessage; }
  bool InArchitecture() const { return FInArchitecture; }

protected:
  // The next token with comments and the regions between a
  // "synopsys translate_off" and "synopsys translate_on" comment (or
  // "rtl_synthesis off" and "rtl_synthesis on") passed over.
  std::int32_t NextValid();
  [[noreturn]] void Fail(const std::wstring& AMessage);

  TVHDLEntities& FEntities;

private:
  void InitializeVHDLSyntax();
  std::int32_t ReadSpecialSymbol();
  std::int32_t ReadVHDLString();
  std::int32_t ReadCommentOrMinus();

  bool IsWord(std::int32_t AKind, std::int32_t AWordId) const;
  std::wstring ReadExpression(std::initializer_list<std::int32_t> ALimits, bool ASpaced);

  void OpenLogFile(const std::wstring& ALogFileName);
  void CloseLogFile();
  // The end of every pass: the text let go of, the entities read detached
  // from the reader, the log closed.
  void EndPass();

  // The grammar.
  void ReadEntity();
  void ReadArchitecture();
  void ReadEntityBody(TEntity& AEntity);
  void ReadArchitectureBody(TEntity& AEntity);
  // "signal <elements>;" after its first word was peeked.
  void ReadSignalDeclaration(TEntity& AEntity);
  // "end [<AWord>] [<name>];" after its first word was peeked.
  void ReadEndOf(std::int32_t AWord);
  void ReadInterfaceClause(TEntity& AEntity, std::int32_t AClauseWord);
  void ReadInterfaceElements(TEntity& AEntity, TElementKind AKind);
  void ReadRange(std::wstring& AExpression1, std::wstring& AExpression2, std::int32_t& ADirection,
                 std::int32_t ACloseWord);
  void ReadAttribute(TEntity& AEntity);
  void ReadConstant(TEntity& AEntity);
  void ReadComponentDeclaration(TEntity& AEntity);
  void ReadStatementPart(TEntity& AEntity);
  void ReadProcessOrBlock(std::int32_t AWord);
  void ReadComponentInstance(TEntity& AEntity, const std::wstring& AName,
                             TComponentDeclaration& ADeclaration);
  void ReadAssociationList(TEntity& AEntity, TComponentInstance& AInstance, bool APortMap);
  void ReadSignalAssignment(TEntity& AEntity, TVHDLSignal& ASignal);
  void ReadPortAssignment(TEntity& AEntity, TVHDLPort& APort);

  std::wstring FTempFN;
  std::wstring FFinalFN;
  std::wstring FDocumentPath;
  std::wstring FErrorMessage;
  std::ofstream FLogFile;
  bool FLogFileOpened = false;
  bool FInArchitecture = false;
  TVHDLReaderSurroundings* FSurroundings;
  std::unique_ptr<TVHDLReaderSurroundings> FPlainSurroundings;
};

// The lines of a text file: Latin-1 bytes to characters, split at CR, LF
// or CR LF. Throws std::runtime_error when the file cannot be read.
std::vector<std::wstring> ReadTextFileLines(const std::wstring& AFileName);
// Every object of the entity (its lists and what they hold) forgets its
// reader.
void DetachFromReader(TEntity& AEntity);
