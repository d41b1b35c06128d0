{ Stand-in for Delphi's Dialogs unit (see Windows.pas). }
unit Dialogs;

{$MODE DELPHI}

interface

procedure ShowMessage(const Text: string);

implementation

procedure ShowMessage(const Text: string);
begin
end;

end.
