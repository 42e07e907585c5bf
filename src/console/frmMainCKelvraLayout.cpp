// Building the console window from the layout, box and button tables.
#include "console/SpinnerBox.h"
#include "console/TrafficPanel.h"
#include "console/frmMainCKelvra.h"
#include "widgets/BellTableControls.h"
#include "widgets/CommandButton.h"
#include "widgets/ConsoleSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <span>
#include <string_view>
#include <vector>

namespace kelvra {

namespace {

constexpr int kComports = 16;
constexpr int kNumberBoxWidth = 90;
constexpr int kTextBoxWidth = 150;
constexpr int kLogLines = 6; // the log shows at least this many lines

bool InGroup(Page page, std::string_view group, Page itemPage, std::string_view itemGroup) {
    return page == itemPage && group == itemGroup;
}

QString Indexed(const char* name, int index) {
    return QString("%1(%2)").arg(name).arg(index);
}

// How a refused number names its box: its label without the colon, or, for a box without a
// label, the caption of the button it feeds.
std::string RefusalName(const ConsoleBox& box) {
    std::string name = box.label;
    if (!name.empty() && name.back() == ':') {
        name.pop_back();
    }
    if (name.empty() && box.before != kNoButton) {
        if (const ConsoleButton* button = FindConsoleButton(box.before)) {
            name = button->caption;
        }
    }
    return name.empty() ? std::string(box.name) : name;
}

} // namespace

void frmMainCKelvra::BuildPages() {
    SSTab1 = new QTabWidget;
    SSTab1->setObjectName("SSTab1");
    std::vector<QGridLayout*> pageGrids;
    for (const char* caption : PageCaptions()) {
        auto* page = new QWidget;
        auto* grid = new QGridLayout(page);
        pageGrids.push_back(grid);
        SSTab1->addTab(page, caption);
    }
    // Groups side by side are one height; the page's columns share its width.
    for (const ConsoleGroup& group : ConsoleGroups()) {
        QGridLayout* grid = pageGrids.at(static_cast<std::size_t>(group.page));
        grid->addWidget(BuildGroup(group), group.row, group.column, group.rowSpan,
                        group.columnSpan);
    }
    for (QGridLayout* grid : pageGrids) {
        grid->setRowStretch(grid->rowCount(), 1);
        for (int column = 0; column < grid->columnCount(); ++column) {
            grid->setColumnStretch(column, 1);
        }
    }
    // The pages keep the height the tallest needs; the log takes the rest of the window.
    SSTab1->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);

    txtGetData = new QPlainTextEdit;
    txtGetData->setObjectName("txtGetData");
    txtGetData->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtGetData->setTabChangesFocus(true);
    txtGetData->setMinimumHeight(kLogLines * txtGetData->fontMetrics().lineSpacing());
    auto* below = new QHBoxLayout;
    below->addWidget(new QLabel("Result:"));
    below->addStretch();
    for (const ConsoleButton& button : ConsoleButtons()) {
        if (button.page == Page::BelowPages) {
            below->addWidget(MakeButton(button.index));
        }
    }

    // The traffic panel opens beside the log and takes its room from the log alone; closed,
    // as the window starts, it leaves the window as it was.
    m_trafficPanel = new TrafficPanel(m_KV, m_dialogs);
    m_trafficPanel->hide();
    auto* trafficButton = new QPushButton("Traffic");
    trafficButton->setObjectName("cmdTraffic");
    trafficButton->setCheckable(true);
    SizeCommandButton(trafficButton);
    connect(trafficButton, &QPushButton::toggled, m_trafficPanel, &QWidget::setVisible);
    below->addWidget(trafficButton);
    auto* logAndTraffic = new QSplitter;
    logAndTraffic->setObjectName("splLogAndTraffic");
    logAndTraffic->setChildrenCollapsible(false);
    logAndTraffic->addWidget(txtGetData);
    logAndTraffic->addWidget(m_trafficPanel);
    logAndTraffic->setStretchFactor(1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(SSTab1);
    layout->addLayout(below);
    layout->addWidget(logAndTraffic, 1);
}

QWidget* frmMainCKelvra::BuildGroup(const ConsoleGroup& group) {
    QWidget* frame = nullptr;
    if (*group.caption == '\0') {
        frame = new QWidget;
    } else {
        frame = new QGroupBox(group.caption);
    }
    auto* layout = new QVBoxLayout(frame);
    if (*group.caption == '\0') {
        layout->setContentsMargins(0, 0, 0, 0);
    }
    switch (group.content) {
    case GroupContent::Table:
    case GroupContent::Form:
        FillTableGroup(group, layout);
        break;
    case GroupContent::ConnectionPanel:
        FillConnectionPanel(layout);
        break;
    case GroupContent::BellControls:
        FillBellControls(layout);
        break;
    case GroupContent::BellEntries:
        FillBellEntries(layout);
        break;
    }
    layout->addStretch(1);
    return frame;
}

// The group's boxes and buttons in one grid, in table order: a box takes a row of its own,
// with the buttons beside it; the buttons between boxes fill the button columns row by row.
void frmMainCKelvra::FillTableGroup(const ConsoleGroup& group, QVBoxLayout* layout) {
    std::vector<const ConsoleButton*> buttons;
    for (const ConsoleButton& button : ConsoleButtons()) {
        if (InGroup(group.page, group.caption, button.page, button.group)) {
            buttons.push_back(&button);
        }
    }
    std::vector<const ConsoleBox*> boxes;
    for (const ConsoleBox& box : ConsoleBoxes()) {
        if (InGroup(group.page, group.caption, box.page, box.group)) {
            boxes.push_back(&box);
        }
    }

    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    const bool form = group.content == GroupContent::Form;
    const int columns = group.buttonColumns;
    const int firstButtonColumn = form ? 2 : 0; // a form's labels and boxes stand before
    int row = 0;                                // the next free row
    int runRow = 0;                             // the row the current run fills
    int inRun = 0;                              // buttons in the current run
    std::vector<QLabel*> inlineLabels;

    // The box first and its buttons after it, which is also the order Tab takes.
    auto placeBox = [&](const ConsoleBox& box, std::span<const ConsoleButton* const> beside) {
        inRun = 0;
        const int boxRow = box.kind == BoxKind::MultiLine && !form ? ++row : row;
        const int besideAt = firstButtonColumn + columns - static_cast<int>(beside.size());
        auto* label =
            *box.label == '\0' || box.kind == BoxKind::Check ? nullptr : new QLabel(box.label);
        QWidget* control = MakeBox(box);
        const bool narrow = control->maximumWidth() < QWIDGETSIZE_MAX;
        auto* field = new QHBoxLayout;
        field->addWidget(control, narrow ? 0 : 1);
        if (*box.suffix != '\0') {
            field->addWidget(new QLabel(box.suffix));
        }
        if (narrow) {
            field->addStretch(1);
        }
        if (form) {
            if (label != nullptr) {
                grid->addWidget(label, boxRow, 0,
                                box.kind == BoxKind::MultiLine ? Qt::AlignTop : Qt::Alignment());
            }
            grid->addLayout(field, boxRow, 1, 1, besideAt - 1);
        } else if (box.kind == BoxKind::MultiLine) {
            grid->addWidget(label, boxRow - 1, 0, 1, columns); // the label above the box
            grid->addLayout(field, boxRow, 0, 1, columns);
        } else {
            if (label != nullptr) {
                field->insertWidget(0, label);
                inlineLabels.push_back(label);
            }
            grid->addLayout(field, boxRow, 0, 1, besideAt);
        }
        for (std::size_t k = 0; k < beside.size(); ++k) {
            QPushButton* button = MakeButton(beside[k]->index);
            grid->addWidget(button, boxRow, besideAt + static_cast<int>(k));
            if (box.kind == BoxKind::SendLine && k == 0) {
                connect(static_cast<QLineEdit*>(m_boxes.at(box.name).widget),
                        &QLineEdit::returnPressed, button, &QPushButton::click);
            }
        }
        row = boxRow + 1;
    };

    std::vector<bool> placed(boxes.size(), false);
    std::size_t next = 0;
    while (next < buttons.size()) {
        std::size_t box = 0;
        while (box < boxes.size() && (placed[box] || boxes[box]->before != buttons[next]->index)) {
            ++box;
        }
        if (box < boxes.size()) {
            placed[box] = true;
            const std::size_t beside = std::min<std::size_t>(
                static_cast<std::size_t>(boxes[box]->beside), buttons.size() - next);
            placeBox(*boxes[box], std::span(buttons).subspan(next, beside));
            next += beside;
            continue;
        }
        if (inRun % columns == 0) {
            runRow = row++;
        }
        grid->addWidget(MakeButton(buttons[next++]->index), runRow,
                        firstButtonColumn + inRun++ % columns);
    }
    for (std::size_t box = 0; box < boxes.size(); ++box) {
        if (!placed[box]) {
            placeBox(*boxes[box], {});
        }
    }

    // The buttons of a table share its width; in a form the boxes take what is left.
    for (int column = 0; column < firstButtonColumn + columns; ++column) {
        grid->setColumnStretch(column, !form || column == 1 ? 1 : 0);
    }
    // Labels in front of their boxes are one width, so the boxes line up.
    int labelWidth = 0;
    for (QLabel* label : inlineLabels) {
        labelWidth = std::max(labelWidth, label->sizeHint().width());
    }
    for (QLabel* label : inlineLabels) {
        label->setMinimumWidth(labelWidth);
    }
}

QWidget* frmMainCKelvra::MakeBox(const ConsoleBox& box) {
    QWidget* control = nullptr;
    switch (box.kind) {
    case BoxKind::Line:
    case BoxKind::SendLine:
        control = new QLineEdit(box.initial);
        break;
    case BoxKind::MultiLine: {
        auto* text = new QPlainTextEdit(box.initial);
        text->setFixedHeight(64);
        // A TAB is typed as "<T>" into the item data; the Tab key moves on.
        text->setTabChangesFocus(true);
        control = text;
        break;
    }
    case BoxKind::Check:
        control = new QCheckBox(box.label);
        break;
    }
    control->setObjectName(box.name);
    m_boxes.emplace(box.name, BoxControl{control, RefusalName(box)});
    QWidget* shown = control;
    if (box.step != 0) {
        shown = new SpinnerBox(static_cast<QLineEdit*>(control), box.lowest, box.highest, box.step);
    }
    // Boxes for numbers are narrow; boxes for text take the room there is, and never less
    // than a few words need.
    if (box.kind == BoxKind::Check) {
        return shown;
    }
    if (box.kind != BoxKind::MultiLine &&
        (box.step != 0 || (*box.initial >= '0' && *box.initial <= '9'))) {
        shown->setFixedWidth(kNumberBoxWidth);
    } else {
        shown->setMinimumWidth(kTextBoxWidth);
    }
    return shown;
}

QPushButton* frmMainCKelvra::MakeButton(int index) {
    const ConsoleButton* declared = FindConsoleButton(index);
    auto* button = new QPushButton(declared->caption);
    button->setObjectName(Indexed("cmdCtrl", index));
    SizeCommandButton(button);
    connect(button, &QPushButton::clicked, this, [this, index] { PressButton(index); });
    cmdCtrl[index] = button;
    return button;
}

// The options and their labels in one column, the boxes and lists in the next.
void frmMainCKelvra::FillConnectionPanel(QVBoxLayout* layout) {
    optType[0] = new QRadioButton("Ethernet:");
    optType[0]->setChecked(true);
    txtIP = new QLineEdit(kDefaultTerminalAddress);
    txtIP->setObjectName("txtIP");

    cboType = new QComboBox;
    cboType->setObjectName("cboType");
    cboType->addItems({"UDP", "TCP"});
    txtUDP_Port = new QLineEdit("1001");
    txtUDP_Port->setObjectName("txtUDP_Port");
    m_boxes.emplace("txtUDP_Port", BoxControl{txtUDP_Port, "Port"});
    auto* typeAndPort = new QHBoxLayout;
    typeAndPort->addWidget(cboType);
    typeAndPort->addWidget(new QLabel("Port:"));
    typeAndPort->addWidget(txtUDP_Port, 1);

    optType[1] = new QRadioButton("Comport");
    cboComport = new QComboBox;
    cboComport->setObjectName("cboComport");
    for (int port = 1; port <= kComports; ++port) {
        cboComport->addItem(QString("COM%1").arg(port));
    }

    for (int i = 0; i < static_cast<int>(optType.size()); ++i) {
        optType[i]->setObjectName(Indexed("optType", i));
        connect(optType[i], &QRadioButton::clicked, this,
                [this, i] { m_iCommType = static_cast<std::int16_t>(i); });
    }
    auto* grid = new QGridLayout;
    grid->addWidget(optType[0], 0, 0);
    grid->addWidget(txtIP, 0, 1);
    grid->addWidget(new QLabel("Type:"), 1, 0);
    grid->addLayout(typeAndPort, 1, 1);
    grid->addWidget(optType[1], 2, 0);
    grid->addWidget(cboComport, 2, 1);
    grid->addWidget(MakeButton(0), 3, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);
}

// Three columns of one width: the mode list and its two buttons above, the weekdays, and the
// three buttons for the day's entries below.
void frmMainCKelvra::FillBellControls(QVBoxLayout* layout) {
    constexpr int kColumns = 3;
    cboBellTableMode = new QComboBox;
    // Wide enough for "Everyday" before the list is filled at start-up.
    cboBellTableMode->setMinimumContentsLength(8);
    cboBellTableMode->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    auto* mode = new QHBoxLayout;
    mode->addWidget(new QLabel("Bell Table Mode:"));
    mode->addWidget(cboBellTableMode, 1);
    optWeekDay = new WeekDayOptions;

    auto* grid = new QGridLayout;
    layout->addLayout(grid); // first, so that the rows below can tell their widths
    grid->addLayout(mode, 0, 0);
    grid->addWidget(MakeButton(51), 0, 1);
    grid->addWidget(MakeButton(52), 0, 2);
    grid->addWidget(optWeekDay, 1, 0, 1, kColumns);
    int column = 0;
    for (int index : {53, 54, 57}) {
        grid->addWidget(MakeButton(index), 2, column++);
    }
    int width = mode->sizeHint().width();
    for (int index : {51, 52, 53, 54, 57}) {
        width = std::max(width, cmdCtrl.at(index)->minimumWidth());
    }
    for (column = 0; column < kColumns; ++column) {
        grid->setColumnMinimumWidth(column, width);
    }
    grid->setColumnStretch(kColumns, 1);
}

void frmMainCKelvra::FillBellEntries(QVBoxLayout* layout) {
    m_bellEntries = new BellEntries;
    layout->addWidget(m_bellEntries);
}

} // namespace kelvra
