// Register window: the user's list of entries with add, edit, delete and move.
#pragma once

#include <QDialog>
#include <array>
#include <functional>

#include "controls/nonscrlbox.h"
#include "controls/scrlbox.h"
#include "core/program_state.h"
#include "core/register_rules.h"
#include "launch/entry_editor_rules.h"

class QLabel;
class QPushButton;

namespace norvax {

// Asks for the lock password when one is set, shows the register window and, on
// OK, saves the entry table, its checksum and the preferences. True when the
// entries were saved.
bool RegisterCommand(ProgramState& state, Ports& ports, QWidget* parent);

class TForm2 : public QDialog {
  Q_OBJECT

 public:
  TForm2(ProgramState& state, Ports& ports, QWidget* parent = nullptr);

  // Shows the entry editor for the context on the working table; the default shows
  // TForm3 modally. Replaced by tests.
  std::function<void(EditorContext&, EntryTable&)> runEditor;

  const WorkingTable& Working() const { return working_; }
  // EntriesSaved: set by OK once the table is written.
  bool EntriesSaved() const { return entriesSaved_; }

  // Column boxes 1 … 8: Nonscrlbox1 … Nonscrlbox7, Scrlbox1.
  ColumnList* Column(int k) const { return columns_.at(static_cast<std::size_t>(k - 1)); }

  QLabel *Label1, *Label2, *Label3, *Label5, *Label4, *Label6, *Label8, *Label9;
  TNonscrlbox *Nonscrlbox1, *Nonscrlbox2, *Nonscrlbox3, *Nonscrlbox4, *Nonscrlbox5, *Nonscrlbox6,
      *Nonscrlbox7;
  TScrlbox* Scrlbox1;
  QPushButton *Button1, *Button2, *Button5, *Button6, *Button7, *Button3, *Button4, *Button8;

 public slots:
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void Button5Click();
  void Button6Click();
  void Button7Click();
  void Button8Click();
  void ColumnClick(int k);
  void Scrlbox1Scroll();

 protected:
  // The wheel over any fixed column scrolls the table as the scrolling column does.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  void SetButtons(const RegisterButtons& b);
  RegisterButtons Buttons() const;
  void SelectRow(int index, int except = 99);
  void LevelColumns(int top);
  void SetDisplayRow(int row, MaskMoment moment, bool append);
  void ExchangeDisplayRows(int a, int b);
  int SelectedRow() const;

  ProgramState& state_;
  Ports& ports_;
  WorkingTable working_;
  std::array<ColumnList*, 8> columns_{};
  bool entriesSaved_ = false;
};

}  // namespace norvax
