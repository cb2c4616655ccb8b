object Form1: TForm1
  Left = 191
  Top = 107
  AutoSize = True
  BorderStyle = bsToolWindow
  Caption = 'ООО НПО "Ростанар" - Программа для тестирования терминалов TALVEN KORIM 300'
  ClientHeight = 401
  ClientWidth = 697
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  OldCreateOrder = False
  OnClose = FormClose
  PixelsPerInch = 96
  TextHeight = 13
  object ComPort: TComPort
    BaudRate = br115200
    Port = 'COM5'
    Parity.Bits = prNone
    StopBits = sbOneStopBit
    DataBits = dbEight
    DiscardNull = True
    Events = [evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD, evRx80Full]
    FlowControl.OutCTSFlow = False
    FlowControl.OutDSRFlow = False
    FlowControl.ControlDTR = dtrDisable
    FlowControl.ControlRTS = rtsDisable
    FlowControl.XonXoffOut = False
    FlowControl.XonXoffIn = False
    OnAfterOpen = ComPortOpen
    OnAfterClose = ComPortClose
    OnRxChar = ComPortRxChar
  end
  object Memo: TMemo
    Left = 0
    Top = 0
    Width = 505
    Height = 297
    ReadOnly = True
    ScrollBars = ssBoth
    TabOrder = 0
  end
  object Button_Open: TButton
    Left = 536
    Top = 8
    Width = 129
    Height = 25
    Caption = 'Открыть порт'
    TabOrder = 1
    OnClick = Button_OpenClick
  end
  object Button_Settings: TButton
    Left = 536
    Top = 32
    Width = 129
    Height = 25
    Caption = 'Настройки порта'
    TabOrder = 2
    OnClick = Button_SettingsClick
  end
  object Edit_Data: TEdit
    Left = 536
    Top = 160
    Width = 121
    Height = 21
    TabOrder = 3
  end
  object Button_Send: TButton
    Left = 560
    Top = 184
    Width = 75
    Height = 25
    Caption = 'Отправить'
    Default = True
    TabOrder = 4
    OnClick = Button_SendClick
  end
  object NewLine_CB: TCheckBox
    Left = 528
    Top = 208
    Width = 137
    Height = 17
    Caption = 'Переводить каретку'
    Checked = True
    State = cbChecked
    TabOrder = 5
  end
  object Panel1: TPanel
    Left = 512
    Top = 240
    Width = 185
    Height = 57
    BevelInner = bvRaised
    BevelOuter = bvLowered
    TabOrder = 6
    object ComLed1: TComLed
      Left = 0
      Top = 8
      Width = 25
      Height = 25
      ComPort = ComPort
      LedSignal = lsCTS
      Kind = lkPurpleLight
    end
    object ComLed2: TComLed
      Left = 32
      Top = 8
      Width = 25
      Height = 25
      ComPort = ComPort
      LedSignal = lsDSR
      Kind = lkPurpleLight
    end
    object ComLed3: TComLed
      Left = 64
      Top = 8
      Width = 25
      Height = 25
      ComPort = ComPort
      LedSignal = lsRLSD
      Kind = lkPurpleLight
    end
    object ComLed4: TComLed
      Left = 104
      Top = 8
      Width = 25
      Height = 25
      ComPort = ComPort
      LedSignal = lsRing
      Kind = lkYellowLight
    end
    object Label2: TLabel
      Left = 3
      Top = 31
      Width = 21
      Height = 13
      Caption = 'CTS'
    end
    object Label3: TLabel
      Left = 32
      Top = 32
      Width = 23
      Height = 13
      Caption = 'DSR'
    end
    object Label4: TLabel
      Left = 64
      Top = 32
      Width = 29
      Height = 13
      Caption = 'RLSD'
    end
    object Label5: TLabel
      Left = 104
      Top = 32
      Width = 22
      Height = 13
      Caption = 'Ring'
    end
    object ComLed5: TComLed
      Left = 136
      Top = 8
      Width = 25
      Height = 25
      ComPort = ComPort
      LedSignal = lsTx
      Kind = lkRedLight
    end
    object ComLed6: TComLed
      Left = 160
      Top = 8
      Width = 25
      Height = 25
      ComPort = ComPort
      LedSignal = lsRx
      Kind = lkRedLight
    end
    object Label1: TLabel
      Left = 142
      Top = 32
      Width = 12
      Height = 13
      Caption = 'Tx'
    end
    object Label6: TLabel
      Left = 166
      Top = 32
      Width = 13
      Height = 13
      Caption = 'Rx'
    end
  end
  object Button1: TButton
    Left = 536
    Top = 72
    Width = 129
    Height = 25
    Caption = 'DTR+RTS - ON'
    TabOrder = 7
    OnClick = Button1Click
  end
  object Button2: TButton
    Left = 536
    Top = 104
    Width = 129
    Height = 25
    Caption = 'DTR+RTS - OFF'
    TabOrder = 8
    OnClick = Button2Click
  end
  object Label7: TLabel
    Left = 544
    Top = 144
    Width = 95
    Height = 13
    Caption = 'Командная строка'
  end
  object GroupBox1: TGroupBox
    Left = 0
    Top = 296
    Width = 697
    Height = 105
    Caption = 'Примечание'
    TabOrder = 9
    object Label8: TLabel
      Left = 8
      Top = 16
      Width = 676
      Height = 78
      Caption =
        '  Для запуска модема установите в настройках скорость порта 115200бод/сек, выберите номер COM порта, к которому подключен'#13#10 +
        'модем. Нажмите кнопку "Открыть порт". Если линии DTR и RTS активируются по умолчанию, то модем сразу же перейдет врежим'#13#10 +
        '"OnLine", при этом будет гореть/мигать индикатор состояния сети GSM на модеме и активна линия CTS. В противном сучае  линии'#13#10 +
        'DTR и RTS необходимо активировать в ручную нажав кнопку "DTR+RTS - ON". '#13#10 +
        '  Для аппаратной перезагрузки модема необходимо снять сигналы с линий DTR и RTS, а затем установить снова. '#13#10 +
        '  Если возникли вопросы, за поддержкой обращайтесь на Е-майл: support@rostanar.example'
    end
    object SpeedButton1: TSpeedButton
      Left = 656
      Top = 64
      Width = 31
      Height = 33
      Hint = 'Подробное OnLine описание  работы с TALVEN KORIM 300'
      Flat = True
      Glyph.Data = {
        36080000424D3608000000000000360400002800000020000000200000000100
        08000000000000040000C40E0000C40E00000001000000000000C0C0C0004848
        4800C8000000FFFFFF0030303000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000002000000000000000000000000000000
        0000000000000000000000000002020202020000000000000000000000000000
        0000000000000000000002020202020202020000000000000000000000000000
        0000000000000002020202020202040402020000000000000000000000000000
        0000000002020202020202040404040402020000000000000000000000000000
        0002020202020202010101010404040402020200000000000000000000020202
        0202020202010101010101010101040404020200000000000000000002020202
        0202010101010101010101010101010104020200000000000000000000020201
        0101010101010101010103030101010101020202000000000000000000020201
        0101010101010101010103030101010101010202000000000000000000020202
        0101010101010101010101010101010101010202000000000000000000000202
        0101010101010101010103030101010101010202020000000000000000000202
        0101010101010101010103030101010101010102020000000000000000000202
        0201010101010101010103030301010101010102020000000000000000000002
        0201010101010101010101030303010101010102020200000000000000000002
        0201010101010101010101010303030101010101020200000000000000000002
        0202010101010101010101010103030101010101020200000000000000000000
        0202010101010303010101010103030101010101020202000000000000000000
        0202010101010303030101010303030101010101010202000000000000000000
        0202020101010103030303030303010101010101010202000000000000000000
        0002020101010101030303030301010101010202020202020000000000000000
        0002020101010101010101010101010202020202020202000000000000000000
        0002020201010101010101010202020202020200000000000000000000000000
        0000020201010101010202020202020200000000000000000000000000000000
        0000020201010202020202020200000000000000000000000000000000000000
        0000020202020202020200000000000000000000000000000000000000000000
        0000020202020200000000000000000000000000000000000000000000000000
        0000000200000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000000000000000
        0000000000000000000000000000000000000000000000000000}
      ParentShowHint = False
      ShowHint = True
      OnClick = SpeedButton1Click
    end
  end
end
