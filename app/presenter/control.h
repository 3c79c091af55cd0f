#pragma once
// The window's controls by their designer names. The presenter and every
// view name a control by this identifier; a view finds its own widget for
// it (the Qt window by object name, see ControlName).

#include <cstdint>
#include <string_view>

namespace tillgate {

// In window order; the port rows (RadioButton1..16, CheckBox2..17,
// CheckBox18..33) are contiguous so that a port's control is first + index.
#define TILLGATE_WINDOW_CONTROLS(X)                                                                \
  X(Form1)                                                                                         \
  X(PageControl1)                                                                                  \
  X(TabSheet1)                                                                                     \
  X(TabSheet2)                                                                                     \
  X(TabSheet3) X(TabSheet4) X(TabSheet5) X(TabSheet6) X(TabSheet8) X(PageControl2) X(TabSheet9) X( \
      TabSheet10) X(StaticText1) X(StaticText2) X(StaticText3) X(StaticText4) X(StaticText5)       \
      X(StaticText6) X(StaticText7) X(StaticText8) X(StaticText9) X(Edit1) X(Edit2) X(             \
          DirectoryListBox1) X(DirectoryListBox2) X(GroupBox1) X(CheckBox1) X(GroupBox2)           \
          X(RadioButton1) X(RadioButton2) X(RadioButton3) X(RadioButton4) X(RadioButton5) X(       \
              RadioButton6) X(RadioButton7) X(RadioButton8) X(RadioButton9) X(RadioButton10)       \
              X(RadioButton11) X(RadioButton12) X(RadioButton13) X(RadioButton14) X(RadioButton15) \
                  X(RadioButton16) X(CheckBox2) X(CheckBox3) X(CheckBox4) X(CheckBox5)             \
                      X(CheckBox6) X(CheckBox7) X(CheckBox8) X(CheckBox9) X(CheckBox10)            \
                          X(CheckBox11) X(CheckBox12) X(CheckBox13) X(CheckBox14) X(CheckBox15) X( \
                              CheckBox16) X(CheckBox17) X(CheckBox18) X(CheckBox19) X(CheckBox20)  \
                              X(CheckBox21) X(CheckBox22) X(CheckBox23) X(CheckBox24)              \
                                  X(CheckBox25) X(CheckBox26) X(CheckBox27) X(CheckBox28)          \
                                      X(CheckBox29) X(CheckBox30) X(CheckBox31) X(CheckBox32)      \
                                          X(CheckBox33) X(ComboBox1) X(GroupBox3) X(Edit3)         \
                                              X(ComboBox2) X(ComboBox3) X(MaskEdit1) X(UpDown1)    \
                                                  X(Edit4) X(PortProblem) X(GroupBox4)             \
                                                      X(CheckBox34) X(Button2) X(StringGrid1)      \
                                                          X(StringGrid2) X(Button3) X(StringGrid3) \
                                                              X(Label1) X(Label2) X(Button4)       \
                                                                  X(EventLine) X(Button1)

enum class Control : uint8_t {
#define TILLGATE_CONTROL_ENUMERATOR(name) name,
  TILLGATE_WINDOW_CONTROLS(TILLGATE_CONTROL_ENUMERATOR)
#undef TILLGATE_CONTROL_ENUMERATOR
};

inline constexpr int kControlCount = static_cast<int>(Control::Button1) + 1;

// The designer name ("Edit1", "CheckBox34").
std::string_view ControlName(Control control);

// The port rows: port index 0..15.
Control RadioButton(int port_index);  // RadioButton1..16
Control ConnectBox(int port_index);   // CheckBox2..17
Control StartBox(int port_index);     // CheckBox18..33
// The port index of `control` in the row starting at `first` (one of the
// three above for port 0); -1 when it is not in that row.
int PortOf(Control control, Control first);

}  // namespace tillgate
