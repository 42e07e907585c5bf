// Building the console window from the layout, box and button tables.
#include "console/BellTableControls.h"
#include "console/ConsoleSettings.h"
#include "console/SpinnerBox.h"
#include "console/frmMainCKelvra.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <string_view>
#include <vector>

namespace kelvra {

namespace {

constexpr int kComports = 16;
constexpr int kNumberBoxWidth = 90;

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
    for (const ConsoleGroup& group : ConsoleGroups()) {
        QGridLayout* grid = pageGrids.at(static_cast<std::size_t>(group.page));
        grid->addWidget(BuildGroup(group), group.row, group.column, group.rowSpan, group.columnSpan,
                        Qt::AlignTop);
    }
    for (QGridLayout* grid : pageGrids) {
        grid->setRowStretch(grid->rowCount(), 1);
    }

    txtGetData = new QPlainTextEdit;
    txtGetData->setObjectName("txtGetData");
    txtGetData->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtGetData->setMinimumHeight(120);
    auto* below = new QHBoxLayout;
    below->addWidget(new QLabel("Result:"));
    below->addStretch();
    for (const ConsoleButton& button : ConsoleButtons()) {
        if (button.page == Page::BelowPages) {
            below->addWidget(MakeButton(button.index));
        }
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(SSTab1);
    layout->addLayout(below);
    layout->addWidget(txtGetData, 1);
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
    return frame;
}

// Boxes stand on their own rows in front of the button they feed, with the buttons that share
// their row; the other buttons fill a grid of the group's column count.
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

    QGridLayout* run = nullptr;
    int inRun = 0;
    std::size_t next = 0;
    while (next < buttons.size()) {
        std::size_t consumed = 0;
        for (const ConsoleBox* box : boxes) {
            if (next + consumed >= buttons.size() ||
                box->before != buttons[next + consumed]->index) {
                continue;
            }
            run = nullptr;
            if (box->kind == BoxKind::MultiLine) {
                layout->addWidget(new QLabel(box->label));
                layout->addWidget(MakeBox(*box));
                continue;
            }
            auto* row = new QHBoxLayout;
            if (box->kind != BoxKind::Check && *box->label != '\0') {
                row->addWidget(new QLabel(box->label));
            }
            QWidget* control = MakeBox(*box);
            const bool narrow = control->maximumWidth() < QWIDGETSIZE_MAX;
            row->addWidget(control, narrow ? 0 : 1);
            if (*box->suffix != '\0') {
                row->addWidget(new QLabel(box->suffix));
            }
            for (int k = 0; k < box->beside && next + consumed < buttons.size(); ++k) {
                row->addWidget(MakeButton(buttons[next + consumed++]->index));
            }
            if (narrow) {
                row->addStretch(1);
            }
            layout->addLayout(row);
        }
        if (consumed > 0) {
            next += consumed;
            continue;
        }
        if (run == nullptr) {
            run = new QGridLayout;
            layout->addLayout(run);
            inRun = 0;
        }
        run->addWidget(MakeButton(buttons[next]->index), inRun / group.buttonColumns,
                       inRun % group.buttonColumns);
        ++inRun;
        ++next;
    }

    QFormLayout* form = nullptr;
    for (const ConsoleBox* box : boxes) {
        if (box->before != kNoButton) {
            continue;
        }
        if (form == nullptr) {
            form = new QFormLayout;
            layout->addLayout(form);
        }
        form->addRow(box->label, MakeBox(*box));
    }
}

QWidget* frmMainCKelvra::MakeBox(const ConsoleBox& box) {
    QWidget* control = nullptr;
    switch (box.kind) {
    case BoxKind::Line:
        control = new QLineEdit(box.initial);
        break;
    case BoxKind::MultiLine: {
        auto* text = new QPlainTextEdit(box.initial);
        text->setFixedHeight(64);
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
    // Boxes for numbers are narrow; boxes for text take the room there is.
    if (box.kind == BoxKind::Line &&
        (box.step != 0 || (*box.initial >= '0' && *box.initial <= '9'))) {
        shown->setMaximumWidth(kNumberBoxWidth);
    }
    return shown;
}

QPushButton* frmMainCKelvra::MakeButton(int index) {
    const ConsoleButton* declared = FindConsoleButton(index);
    auto* button = new QPushButton(declared->caption);
    button->setObjectName(Indexed("cmdCtrl", index));
    connect(button, &QPushButton::clicked, this, [this, index] { PressButton(index); });
    cmdCtrl[index] = button;
    return button;
}

void frmMainCKelvra::FillConnectionPanel(QVBoxLayout* layout) {
    optType[0] = new QRadioButton("Ethernet:");
    optType[0]->setChecked(true);
    txtIP = new QLineEdit(kDefaultTerminalAddress);
    txtIP->setObjectName("txtIP");
    auto* ethernet = new QHBoxLayout;
    ethernet->addWidget(optType[0]);
    ethernet->addWidget(txtIP, 1);

    cboType = new QComboBox;
    cboType->setObjectName("cboType");
    cboType->addItems({"UDP", "TCP"});
    txtUDP_Port = new QLineEdit("1001");
    txtUDP_Port->setObjectName("txtUDP_Port");
    m_boxes.emplace("txtUDP_Port", BoxControl{txtUDP_Port, "Port"});
    auto* typeAndPort = new QHBoxLayout;
    typeAndPort->addWidget(new QLabel("Type:"));
    typeAndPort->addWidget(cboType);
    typeAndPort->addWidget(new QLabel("Port:"));
    typeAndPort->addWidget(txtUDP_Port, 1);

    optType[1] = new QRadioButton("Comport");
    cboComport = new QComboBox;
    cboComport->setObjectName("cboComport");
    for (int port = 1; port <= kComports; ++port) {
        cboComport->addItem(QString("COM%1").arg(port));
    }
    auto* serial = new QHBoxLayout;
    serial->addWidget(optType[1]);
    serial->addWidget(cboComport, 1);

    for (int i = 0; i < static_cast<int>(optType.size()); ++i) {
        optType[i]->setObjectName(Indexed("optType", i));
        connect(optType[i], &QRadioButton::clicked, this,
                [this, i] { m_iCommType = static_cast<std::int16_t>(i); });
    }
    layout->addLayout(ethernet);
    layout->addLayout(typeAndPort);
    layout->addLayout(serial);
    layout->addWidget(MakeButton(0));
}

void frmMainCKelvra::FillBellControls(QVBoxLayout* layout) {
    cboBellTableMode = new QComboBox;
    auto* mode = new QHBoxLayout;
    mode->addWidget(new QLabel("Bell Table Mode:"));
    mode->addWidget(cboBellTableMode);
    mode->addWidget(MakeButton(51));
    mode->addWidget(MakeButton(52));
    mode->addStretch();

    optWeekDay = new WeekDayOptions;

    auto* table = new QHBoxLayout;
    for (int index : {53, 54, 57}) {
        table->addWidget(MakeButton(index));
    }
    table->addStretch();

    layout->addLayout(mode);
    layout->addWidget(optWeekDay);
    layout->addLayout(table);
}

void frmMainCKelvra::FillBellEntries(QVBoxLayout* layout) {
    m_bellEntries = new BellEntries;
    layout->addWidget(m_bellEntries);
}

} // namespace kelvra
