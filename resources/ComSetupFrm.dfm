object ComSetupFrm: TComSetupFrm
  Left = 381
  Top = 182
  BorderStyle = bsDialog
  Caption = 'Setup'
  ClientHeight = 216
  ClientWidth = 231
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  Position = poScreenCenter
  PixelsPerInch = 96
  TextHeight = 13
  object Button1: TButton
    Left = 70
    Top = 184
    Width = 75
    Height = 25
    Caption = 'OK'
    Default = True
    ModalResult = 1
    TabOrder = 1
  end
  object Button2: TButton
    Left = 150
    Top = 184
    Width = 75
    Height = 25
    Caption = 'Cancel'
    ModalResult = 2
    TabOrder = 2
  end
  object GroupBox1: TGroupBox
    Left = 8
    Top = 8
    Width = 217
    Height = 169
    Caption = ' Settings '
    TabOrder = 0
    object Label1: TLabel
      Left = 8
      Top = 24
      Width = 19
      Height = 13
      Caption = 'Port'
    end
    object Label2: TLabel
      Left = 8
      Top = 48
      Width = 46
      Height = 13
      Caption = 'Baud rate'
    end
    object Label3: TLabel
      Left = 8
      Top = 72
      Width = 42
      Height = 13
      Caption = 'Data bits'
    end
    object Label4: TLabel
      Left = 8
      Top = 96
      Width = 41
      Height = 13
      Caption = 'Stop bits'
    end
    object Label5: TLabel
      Left = 8
      Top = 120
      Width = 26
      Height = 13
      Caption = 'Parity'
    end
    object Label6: TLabel
      Left = 8
      Top = 144
      Width = 57
      Height = 13
      Caption = 'Flow control'
    end
    object Combo2: TComComboBox
      Left = 80
      Top = 40
      Width = 129
      Height = 21
      ComProperty = cpBaudRate
      Text = 'Custom'
      Style = csDropDownList
      ItemHeight = 13
      ItemIndex = 0
      TabOrder = 1
    end
    object Combo3: TComComboBox
      Left = 80
      Top = 64
      Width = 129
      Height = 21
      ComProperty = cpDataBits
      Text = '5'
      Style = csDropDownList
      ItemHeight = 13
      ItemIndex = 0
      TabOrder = 2
    end
    object Combo4: TComComboBox
      Left = 80
      Top = 88
      Width = 129
      Height = 21
      ComProperty = cpStopBits
      Text = '1'
      Style = csDropDownList
      ItemHeight = 13
      ItemIndex = 0
      TabOrder = 3
    end
    object Combo5: TComComboBox
      Left = 80
      Top = 112
      Width = 129
      Height = 21
      ComProperty = cpParity
      Text = 'None'
      Style = csDropDownList
      ItemHeight = 13
      ItemIndex = 0
      TabOrder = 4
    end
    object Combo6: TComComboBox
      Left = 80
      Top = 136
      Width = 129
      Height = 21
      ComProperty = cpFlowControl
      Text = 'Hardware'
      Style = csDropDownList
      ItemHeight = 13
      ItemIndex = 0
      TabOrder = 5
    end
    object Combo1: TComComboBox
      Left = 80
      Top = 16
      Width = 129
      Height = 21
      ComProperty = cpPort
      Text = 'COM1'
      Style = csDropDownList
      ItemHeight = 13
      ItemIndex = 0
      TabOrder = 0
    end
  end
end
