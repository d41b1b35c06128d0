{ Stand-in for Delphi's Messages unit (see Windows.pas). }
unit Messages;

{$MODE DELPHI}

interface

type
  TMessage = record
    Msg: Cardinal;
    WParam, LParam, Result: PtrInt;
  end;

implementation

end.
